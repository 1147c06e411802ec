#include "summary.h"

#include <string>

#include "pcm_format.h"

namespace {

std::string describe_range(const input_range &range) {
    return shown_name(range.path) + " (bytes " + std::to_string(range.start) + " to " + std::to_string(range.end) + ")";
}

std::string describe_input(const session_plan &plan) {
    const std::string repeats = " x" + std::to_string(plan.plays - (plan.second ? 1 : 0));
    if (plan.second) return describe_range(plan.first) + ", then " + describe_range(*plan.second) + repeats;
    const std::string chained =
        plan.links.size() > 1 ? ", " + std::to_string(plan.links.size()) + " chained streams" : "";
    return describe_range(plan.first) + chained + (plan.plays > 1 ? repeats : "");
}

}  // namespace

void print_summary(std::FILE *to, const decode_options &options, const session_plan &plan,
                   const session_result &result) {
    const qdx_ogg_wave_format &format = result.format;
    const std::uint64_t frames = result.pcm_bytes / format.nBlockAlign;
    const double seconds = static_cast<double>(frames) / format.nSamplesPerSec;
    const char *output = options.to_stdout() ? "standard output" : options.output.c_str();
    std::fprintf(to, "input:    %s, %s input\n", describe_input(plan).c_str(), input_kind_name(plan.kind));
    std::fprintf(to, "format:   %s\n", describe_format(format).c_str());
    std::fprintf(to, "output:   %s, %s, %llu bytes of PCM\n", output, options.raw ? "raw PCM" : "WAV",
                 static_cast<unsigned long long>(result.pcm_bytes));
    std::fprintf(to, "duration: %.3f s (%llu frames)\n", seconds, static_cast<unsigned long long>(frames));
    if (result.decode_seconds > 0) {
        std::fprintf(to, "decoded:  in %.3f s, %.1fx realtime\n", result.decode_seconds,
                     seconds / result.decode_seconds);
    }
}
