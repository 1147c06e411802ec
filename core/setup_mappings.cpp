#include "core/setup_mappings.h"

namespace {

constexpr long MAPPING_TYPES = 1;
constexpr long WINDOW_TYPES = 1;
constexpr long TRANSFORM_TYPES = 1;

// The bits that number a channel in a coupling step: those of channels - 1.
int channel_bits(int channels) {
    int bits = 0;
    for (unsigned value = channels > 0 ? static_cast<unsigned>(channels - 1) : 0; value != 0; value >>= 1) ++bits;
    return bits;
}

bool walk_coupling(setup_bits &b, int channels) {
    if (b.read(1) != 1) return !b.ran_out();
    const long steps = b.read(8) + 1;
    for (long i = 0; i < steps; ++i) {
        const long magnitude = b.read(channel_bits(channels));
        const long angle = b.read(channel_bits(channels));
        if (b.ran_out() || magnitude == angle || magnitude >= channels || angle >= channels) return false;
    }
    return true;
}

bool walk_mapping(setup_bits &b, const setup_shape &shape, mapping_shape &mapping, int channels, long time_slots) {
    mapping.submaps = b.read(1) == 1 ? static_cast<int>(b.read(4) + 1) : 1;
    if (b.ran_out() || !walk_coupling(b, channels)) return false;
    if (b.read(2) != 0) return false;  // reserved
    for (int c = 0; mapping.submaps > 1 && c < channels; ++c)
        if (b.read(4) >= mapping.submaps || b.ran_out()) return false;
    for (int s = 0; s < mapping.submaps; ++s) {
        const long time = b.read(8);
        mapping.floor[s] = static_cast<int>(b.read(8));
        mapping.residue[s] = static_cast<int>(b.read(8));
        if (b.ran_out() || time >= time_slots) return false;
        if (mapping.floor[s] >= shape.floors || mapping.residue[s] >= shape.residues) return false;
    }
    return true;
}

}  // namespace

bool walk_mappings(setup_bits &b, setup_shape &shape, int channels, long time_slots) {
    shape.mappings = static_cast<int>(b.read(6) + 1);
    for (int i = 0; i < shape.mappings && !b.ran_out(); ++i) {
        if (b.read(16) >= MAPPING_TYPES || b.ran_out()) return false;
        if (!walk_mapping(b, shape, shape.mapping[i], channels, time_slots)) return false;
    }
    return !b.ran_out();
}

bool walk_modes(setup_bits &b, setup_shape &shape) {
    shape.modes = static_cast<int>(b.read(6) + 1);
    for (int i = 0; i < shape.modes && !b.ran_out(); ++i) {
        mode_shape &mode = shape.mode[i];
        mode.long_block = static_cast<int>(b.read(1));
        const long window = b.read(16);
        const long transform = b.read(16);
        mode.mapping = static_cast<int>(b.read(8));
        if (b.ran_out() || window >= WINDOW_TYPES || transform >= TRANSFORM_TYPES || mode.mapping >= shape.mappings)
            return false;
    }
    return b.read(1) == 1;
}
