#pragma once
// Process units keep the names they share (step, operation type, recipe
// text, unit of each quantity) in tables of the whole process, which one
// load at a time may fill. A load on a second thread writes into a set of
// its own instead; once that thread is done, its owner publishes the set
// into the process's tables, as a load run after the others would have
// left them.

#include <memory>

namespace batchplant {

class StagedTables {
public:
    StagedTables();
    ~StagedTables();
    StagedTables(const StagedTables&) = delete;
    StagedTables& operator=(const StagedTables&) = delete;

    // On the loading thread: its units write into `tables` while this lives.
    class Scope {
    public:
        explicit Scope(StagedTables& tables);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

    // After the loading thread finished, while no other thread loads.
    void Publish() const;

    struct Units;
    struct Components;

private:
    // Each half lives beside the tables it stands in for.
    static void UseUnits(Units* u);
    static void UseComponents(Components* c);
    static void PublishUnits(const Units& from);
    static void PublishComponents(const Components& from);
    static Components* NewComponents();

    struct UnitsDeleter {
        void operator()(Units* u) const;
    };
    struct ComponentsDeleter {
        void operator()(Components* c) const;
    };
    std::unique_ptr<Units, UnitsDeleter> units;
    std::unique_ptr<Components, ComponentsDeleter> components;
};

} // namespace batchplant
