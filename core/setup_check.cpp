#include "core/setup_check.h"

#include <memory>
#include <new>

#include "core/setup_bits.h"
#include "core/setup_codebooks.h"
#include "core/setup_floors.h"
#include "core/setup_limits.h"
#include "core/setup_mappings.h"
#include "core/setup_residues.h"

namespace {

constexpr long SETUP_PACKET_TYPE = 5;
constexpr char SIGNATURE[] = "vorbis";

bool is_setup_header(setup_bits &b) {
    if (b.read(8) != SETUP_PACKET_TYPE) return false;
    for (const char *c = SIGNATURE; *c != '\0'; ++c)
        if (b.read(8) != *c) return false;
    return true;
}

// The time-domain transforms: placeholders, each of type 0. Returns their
// count, 0 where refused.
long walk_time_slots(setup_bits &b) {
    const long slots = b.read(6) + 1;
    for (long i = 0; i < slots; ++i)
        if (b.read(16) != 0) return 0;
    return b.ran_out() ? 0 : slots;
}

bool walk_setup(setup_bits &b, setup_shape &shape, int channels) {
    if (!is_setup_header(b) || !walk_codebooks(b, shape)) return false;
    const long time_slots = walk_time_slots(b);
    return time_slots > 0 && walk_floors(b, shape) && walk_residues(b, shape) &&
           walk_mappings(b, shape, channels, time_slots) && walk_modes(b, shape);
}

}  // namespace

bool measure_setup(ogg_packet &setup, vorbis_info &info, setup_costs &costs) {
    std::unique_ptr<setup_shape> shape(new (std::nothrow) setup_shape);
    if (!shape) return false;
    setup_bits b(setup);
    if (!walk_setup(b, *shape, info.channels)) return false;
    costs = costs_of(*shape, vorbis_info_blocksize(&info, 0), vorbis_info_blocksize(&info, 1));
    return true;
}

bool setup_costs_within_limits(const setup_costs &costs) {
    return costs.entries <= CODEBOOK_ENTRY_BUDGET && costs.values <= CODEBOOK_VALUE_BUDGET &&
           costs.lookup_heap <= LOOKUP_HEAP_LIMIT && costs.sort_stack <= SORT_STACK_LIMIT &&
           costs.residue0_stack <= RESIDUE0_STACK_LIMIT;
}

bool setup_is_safe(ogg_packet &setup, vorbis_info &info) {
    setup_costs costs;
    return measure_setup(setup, info, costs) && setup_costs_within_limits(costs);
}
