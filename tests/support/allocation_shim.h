// A malloc, calloc, realloc and free of the test program's own, in front of
// the C library's. Linked into a program (the velmora_allocation_shim
// object), they serve it and every library it loads, the module loaded at
// run time included. While the plan is armed they count each allocation,
// fail the chosen one and keep the number of blocks still held; unarmed,
// they only delegate. One thread is armed at a time, so plain fields do.
//
// The shim links nothing of Velmora's: a host that loads the module at run
// time uses it too. An allocator of our own cannot sit beside
// AddressSanitizer's; under it the shim is left out and its tests skip.
#ifndef VELMORA_TEST_ALLOCATION_SHIM_H
#define VELMORA_TEST_ALLOCATION_SHIM_H

struct allocation_plan {
    bool armed = false;
    long seen = 0;         // allocations since armed, exempt ones aside
    long failing = -1;     // which one fails, from 0; -1: none
    long outstanding = 0;  // blocks allocated minus blocks freed since armed, exempt ones too
    // Asked of each allocation while armed, with the return address of the
    // allocation call: true lets it through, neither counted in seen nor
    // failed. Null: none is exempt.
    bool (*exempt)(const void *caller) = nullptr;
};

// The plan the shim follows.
extern allocation_plan plan;

#endif  // VELMORA_TEST_ALLOCATION_SHIM_H
