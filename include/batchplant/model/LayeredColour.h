#pragma once
// Colours of the drawn objects and how temporary colours are laid over them.
//
// A packed colour is an int 0xRRGGBB. Objects hold each channel as a
// fraction 0.0 to 1.0; a fraction c packs as c × 255 truncated toward zero,
// an integer n unpacks as n / 255.0.
//
// Selection, heating and cooling each show a fixed colour for a while and
// then give back the colour that was there before. They can start and end in
// any order (a vessel selected while it heats, deselected after the heating
// ended), so each temporary colour is kept as a layer on top of the object's
// own colour: ending one removes just that layer, and the object shows the
// newest layer still in force, or its own colour. Started and ended in
// nested order, this gives exactly what saving and restoring the colour at
// each start and end would give; in any other order it still comes back to
// the object's own colour instead of to a colour that was itself temporary.

namespace batchplant {

// c × 255 truncated; fractions outside 0..1 are clamped first so that the
// channel never spills into its neighbour.
int PackColourChannel(double fraction);
int PackColour(double r, double g, double b);

// Splits a packed value with signed truncating division:
// r = (packed / 65536) % 256, g = (packed / 256) % 256, b = packed % 256.
// Negative inputs give negative components, which the setters then refuse.
void SplitPackedColour(int packed, int& r, int& g, int& b);

// True when each of r, g, b lies in 0..255.
bool IsColourInRange(int r, int g, int b);

// A colour kept as three bytes 0..255 (the labels'). The setters change
// nothing when a channel is out of range.
void SetColourBytes(unsigned char (&rgb)[3], int r, int g, int b);
void SetColourBytes(unsigned char (&rgb)[3], int packed);
int PackColourBytes(const unsigned char (&rgb)[3]);

// An object's own colour with the temporary colours laid over it (described
// at the top of LayeredColour.h).
class LayeredColour {
public:
    enum Layer : int { Highlight = 0, Heat = 1, Cool = 2 };

    LayeredColour() = default;
    LayeredColour(double r, double g, double b) { SetBase(r, g, b); }

    // Drops every layer and sets the object's own colour.
    void Reset(double r, double g, double b);
    // Drops every layer; the object's own colour shows again.
    void DropLayers() { count_ = 0; }

    bool Has(Layer layer) const { return find(layer) >= 0; }

    // Lays `layer` with the given colour on top; false (and nothing changes)
    // when the layer is already in force.
    bool Push(Layer layer, double r, double g, double b);
    // Removes `layer`; false when it was not in force.
    bool Remove(Layer layer);

    // The colour shown now: the newest layer's, or the object's own.
    void Shown(double& r, double& g, double& b) const;
    int ShownPacked() const;
    // Changes the colour shown now (the newest layer's while one is in
    // force, else the object's own); it lasts until that layer ends.
    void SetShown(double r, double g, double b);

    // The colour that shows again when `layer` ends (the one below it). When
    // the layer is not in force: the colour shown now.
    void Below(Layer layer, double& r, double& g, double& b) const;
    int BelowPacked(Layer layer) const;
    // Changes the colour below `layer`; false (and nothing changes) when the
    // layer is not in force.
    bool SetBelow(Layer layer, double r, double g, double b);

    void SetBase(double r, double g, double b);

    // A layer switched by its owner's flag (1 while in force): Start lays it
    // and sets the flag, End removes it and clears the flag; each does
    // nothing when the flag already says so.
    void Start(Layer layer, int& flag, double r, double g, double b);
    void End(Layer layer, int& flag);

    // Selection as the drawn objects keep it, with their `selected` flag:
    // a selected object shows the fixed red highlight.
    void Select(int& selected) { Start(Highlight, selected, 1.0, 0.0, 0.0); }
    void Deselect(int& selected) { End(Highlight, selected); }
    void ToggleSelected(int& selected);
    // The object's colour as it reports it: while selected, the colour that
    // shows again once deselected; otherwise the colour shown.
    int ObjectPacked(int selected) const;
    // Sets that colour from a packed value; a channel out of 0..255 changes
    // nothing.
    void SetObjectPacked(int selected, int packed);
    // SetShown and SetBelow with channels 0..255; a channel out of range
    // changes nothing.
    void SetShown255(int r, int g, int b);
    void SetBelow255(Layer layer, int r, int g, int b);

private:
    struct Rgb {
        double r = 0.0, g = 0.0, b = 0.0;
    };
    struct Entry {
        Layer layer = Highlight;
        Rgb colour;
    };
    int find(Layer layer) const;
    Rgb& below(int position);
    const Rgb& below(int position) const;

    Rgb base_;
    Entry layers_[3];
    int count_ = 0;
};

} // namespace batchplant
