#pragma once

#include <QString>

// Where discovery gets the neighbour table, as the text "arp -a" prints:
// one "? (ADDRESS) at … on …" line per neighbour. The library has none of
// its own; the application installs the system reader, tests a fixture.
// Called on the main thread; must not block for long.
class ArpSource
{
public:
    virtual ~ArpSource() = default;
    // The table's text; empty when it cannot be read.
    virtual QString readTable() = 0;
};
