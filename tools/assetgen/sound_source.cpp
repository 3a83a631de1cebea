#include "tools/assetgen/sound_source.h"

#include <cmath>
#include <cstdio>

#include "tools/assetgen/source_text.h"

namespace {

struct ShapeField {
    const char* name;
    double low, high;
    bool whole;  // takes whole numbers only
};

constexpr ShapeField shape_fields[] = {
    {"rate", 22050, 44100, true},
    {"seconds", 0.3, 2.0, false},
    {"seed", 0, 1000000, true},
    {"attack", 0.0005, 0.1, false},
    {"crack_level", 0, 4, false},
    {"crack_decay", 0.001, 2, false},
    {"noise_level", 0, 4, false},
    {"noise_decay", 0.001, 4, false},
    {"noise_cutoff_start", 20, 10000, false},
    {"noise_cutoff_end", 20, 10000, false},
    {"rumble_level", 0, 4, false},
    {"rumble_start", 10, 400, false},
    {"rumble_end", 10, 400, false},
    {"rumble_decay", 0.001, 4, false},
    {"fade", 0.001, 0.5, false},
};
constexpr int shape_field_count = sizeof(shape_fields) / sizeof(shape_fields[0]);

// The settings in the order of shape_fields.
void store_fields(const double* values, ExplosionShape* shape) {
    shape->rate = static_cast<int>(values[0]);
    shape->seconds = values[1];
    shape->seed = static_cast<int>(values[2]);
    shape->attack = values[3];
    shape->crack_level = values[4];
    shape->crack_decay = values[5];
    shape->noise_level = values[6];
    shape->noise_decay = values[7];
    shape->noise_cutoff_start = values[8];
    shape->noise_cutoff_end = values[9];
    shape->rumble_level = values[10];
    shape->rumble_start = values[11];
    shape->rumble_end = values[12];
    shape->rumble_decay = values[13];
    shape->fade = values[14];
}

// The generator's own noise: a 32-bit linear congruential sequence, the same
// on every machine.
double next_noise(uint32_t* state) {
    *state = *state * 1664525u + 1013904223u;
    return static_cast<double>(*state >> 8) / 8388608.0 - 1.0;
}

double lowpass_step(double cutoff, int rate) { return 1.0 - std::exp(-2.0 * M_PI * cutoff / rate); }

}  // namespace

bool read_explosion_source(const std::string& path, ExplosionShape* shape, std::string* error) {
    std::vector<SourceLine> lines;
    if (!read_source_lines(path, &lines, error)) return false;
    bool seen[shape_field_count] = {};
    double values[shape_field_count] = {};
    for (const SourceLine& line : lines) {
        std::vector<std::string> words = split_words(line.text);
        if (words.empty()) continue;
        int index = -1;
        for (int k = 0; k < shape_field_count; ++k)
            if (words[0] == shape_fields[k].name) index = k;
        if (index < 0) {
            *error = source_error(path, line.number, "unknown setting '" + words[0] + "'");
            return false;
        }
        const ShapeField& field = shape_fields[index];
        if (words.size() != 2) {
            *error = source_error(path, line.number, std::string("expected '") + field.name + " VALUE'");
            return false;
        }
        if (seen[index]) {
            *error = source_error(path, line.number, std::string("'") + field.name + "' is given twice");
            return false;
        }
        double value = 0;
        int whole_value = 0;
        bool ok = field.whole ? parse_int_in(words[1], static_cast<int>(field.low), static_cast<int>(field.high),
                                             &whole_value)
                              : parse_number_in(words[1], field.low, field.high, &value);
        if (!ok) {
            char range[96];
            std::snprintf(range, sizeof(range), "%s must be a%s number from %g to %g", field.name,
                          field.whole ? " whole" : "", field.low, field.high);
            *error = source_error(path, line.number, std::string(range) + ", not '" + words[1] + "'");
            return false;
        }
        if (index == 0 && whole_value != 22050 && whole_value != 44100) {
            *error = source_error(path, line.number, "rate must be 22050 or 44100");
            return false;
        }
        values[index] = field.whole ? whole_value : value;
        seen[index] = true;
    }
    for (int k = 0; k < shape_field_count; ++k)
        if (!seen[k]) {
            *error = path + ": the setting '" + shape_fields[k].name + "' is missing";
            return false;
        }
    store_fields(values, shape);
    return true;
}

std::vector<int16_t> synthesise_explosion(const ExplosionShape& shape) {
    int count = static_cast<int>(shape.seconds * shape.rate);
    std::vector<double> mix(count);
    uint32_t state = static_cast<uint32_t>(shape.seed) * 2654435761u + 1u;
    double roar = 0, deep = 0, previous = 0, phase = 0;
    for (int i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / shape.rate;
        double white = next_noise(&state);
        // The roar: noise that is bright at the blast and darkens as it dies.
        double cutoff = shape.noise_cutoff_end +
                        (shape.noise_cutoff_start - shape.noise_cutoff_end) * std::exp(-t / shape.noise_decay);
        roar += lowpass_step(cutoff, shape.rate) * (white - roar);
        double roar_part = roar * shape.noise_level * std::exp(-t / shape.noise_decay);
        // The crack: the sharpest part of the noise, gone in a moment.
        double crack_part = (white - previous) * 0.5 * shape.crack_level * std::exp(-t / shape.crack_decay);
        previous = white;
        // The rumble: a sinking tone, roughened by very low noise.
        double pitch = shape.rumble_end + (shape.rumble_start - shape.rumble_end) * std::exp(-t / shape.rumble_decay);
        phase += 2.0 * M_PI * pitch / shape.rate;
        deep += lowpass_step(2.0 * pitch, shape.rate) * (white - deep);
        double rumble_part = (std::sin(phase) * 0.6 + deep * 4.0) * shape.rumble_level *
                             std::exp(-t / shape.rumble_decay);
        double loudness = t < shape.attack ? t / shape.attack : 1.0;
        double left = shape.seconds - t;
        if (left < shape.fade) loudness *= left / shape.fade;
        mix[i] = loudness * (roar_part + crack_part + rumble_part);
    }
    double peak = 0;
    for (double v : mix) peak = std::fmax(peak, std::fabs(v));
    double gain = peak > 0 ? 0.89 * 32767.0 / peak : 0.0;
    std::vector<int16_t> samples(count);
    for (int i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(std::lround(mix[i] * gain));
    return samples;
}
