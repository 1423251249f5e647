#include "batchplant/model/LayeredColour.h"

namespace batchplant {

int PackColourChannel(double fraction)
{
    if (!(fraction > 0.0)) return 0; // also NaN
    if (fraction >= 1.0) return 255;
    return static_cast<int>(fraction * 255.0);
}

int PackColour(double r, double g, double b)
{
    return (PackColourChannel(r) << 16) | (PackColourChannel(g) << 8) | PackColourChannel(b);
}

void SplitPackedColour(int packed, int& r, int& g, int& b)
{
    r = (packed / 65536) % 256;
    g = (packed / 256) % 256;
    b = packed % 256;
}

bool IsColourInRange(int r, int g, int b) { return r >= 0 && r <= 255 && g >= 0 && g <= 255 && b >= 0 && b <= 255; }

void SetColourBytes(unsigned char (&rgb)[3], int r, int g, int b)
{
    if (!IsColourInRange(r, g, b)) return;
    rgb[0] = static_cast<unsigned char>(r);
    rgb[1] = static_cast<unsigned char>(g);
    rgb[2] = static_cast<unsigned char>(b);
}

void SetColourBytes(unsigned char (&rgb)[3], int packed)
{
    int r, g, b;
    SplitPackedColour(packed, r, g, b);
    SetColourBytes(rgb, r, g, b);
}

int PackColourBytes(const unsigned char (&rgb)[3]) { return (rgb[0] << 16) | (rgb[1] << 8) | rgb[2]; }

void LayeredColour::Reset(double r, double g, double b)
{
    count_ = 0;
    SetBase(r, g, b);
}

void LayeredColour::SetBase(double r, double g, double b) { base_ = Rgb{r, g, b}; }

int LayeredColour::find(Layer layer) const
{
    for (int i = 0; i < count_; ++i)
        if (layers_[i].layer == layer) return i;
    return -1;
}

LayeredColour::Rgb& LayeredColour::below(int position) { return position <= 0 ? base_ : layers_[position - 1].colour; }

const LayeredColour::Rgb& LayeredColour::below(int position) const
{
    return position <= 0 ? base_ : layers_[position - 1].colour;
}

bool LayeredColour::Push(Layer layer, double r, double g, double b)
{
    if (Has(layer) || count_ >= 3) return false;
    layers_[count_++] = Entry{layer, Rgb{r, g, b}};
    return true;
}

bool LayeredColour::Remove(Layer layer)
{
    const int at = find(layer);
    if (at < 0) return false;
    for (int i = at; i + 1 < count_; ++i)
        layers_[i] = layers_[i + 1];
    --count_;
    return true;
}

void LayeredColour::Shown(double& r, double& g, double& b) const
{
    const Rgb& c = below(count_);
    r = c.r;
    g = c.g;
    b = c.b;
}

int LayeredColour::ShownPacked() const
{
    const Rgb& c = below(count_);
    return PackColour(c.r, c.g, c.b);
}

void LayeredColour::SetShown(double r, double g, double b) { below(count_) = Rgb{r, g, b}; }

void LayeredColour::Below(Layer layer, double& r, double& g, double& b) const
{
    const int at = find(layer);
    const Rgb& c = below(at < 0 ? count_ : at);
    r = c.r;
    g = c.g;
    b = c.b;
}

int LayeredColour::BelowPacked(Layer layer) const
{
    double r, g, b;
    Below(layer, r, g, b);
    return PackColour(r, g, b);
}

bool LayeredColour::SetBelow(Layer layer, double r, double g, double b)
{
    const int at = find(layer);
    if (at < 0) return false;
    below(at) = Rgb{r, g, b};
    return true;
}

void LayeredColour::Start(Layer layer, int& flag, double r, double g, double b)
{
    if (flag) return;
    Push(layer, r, g, b);
    flag = 1;
}

void LayeredColour::End(Layer layer, int& flag)
{
    if (!flag) return;
    Remove(layer);
    flag = 0;
}

void LayeredColour::ToggleSelected(int& selected)
{
    if (selected)
        Deselect(selected);
    else
        Select(selected);
}

int LayeredColour::ObjectPacked(int selected) const { return selected ? BelowPacked(Highlight) : ShownPacked(); }

void LayeredColour::SetObjectPacked(int selected, int packed)
{
    int r, g, b;
    SplitPackedColour(packed, r, g, b);
    if (selected)
        SetBelow255(Highlight, r, g, b);
    else
        SetShown255(r, g, b);
}

void LayeredColour::SetShown255(int r, int g, int b)
{
    if (!IsColourInRange(r, g, b)) return;
    SetShown(r / 255.0, g / 255.0, b / 255.0);
}

void LayeredColour::SetBelow255(Layer layer, int r, int g, int b)
{
    if (!IsColourInRange(r, g, b)) return;
    SetBelow(layer, r / 255.0, g / 255.0, b / 255.0);
}

} // namespace batchplant
