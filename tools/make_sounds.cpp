// Synthesises the game's eighteen sound effects as 22050 Hz 16-bit mono PCM wave files.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

struct Noise {
    uint32_t state = 0x9e3779b9u;
    double Next() { // white noise in [-1, 1)
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / double(1 << 23) - 1.0;
    }
};

// A tone whose frequency glides from f0 to f1, with a wave shape and an envelope.
std::vector<double> Sweep(double seconds, double f0, double f1, double squareness, double attack,
                          double decayPower) {
    const int n = int(seconds * kRate);
    std::vector<double> out(static_cast<size_t>(n));
    double phase = 0;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / n;
        const double f = f0 * std::pow(f1 / f0, t);
        phase += 2 * kPi * f / kRate;
        const double s = std::sin(phase);
        const double shaped = (1 - squareness) * s + squareness * (s >= 0 ? 1.0 : -1.0);
        const double env = std::min(1.0, t / attack) * std::pow(1 - t, decayPower);
        out[size_t(i)] = shaped * env;
    }
    return out;
}

std::vector<double> NoiseBurst(double seconds, double decayPower, double lowpass, uint32_t seed) {
    Noise noise{seed};
    const int n = int(seconds * kRate);
    std::vector<double> out(static_cast<size_t>(n));
    double smooth = 0;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / n;
        smooth += lowpass * (noise.Next() - smooth);
        out[size_t(i)] = smooth * std::pow(1 - t, decayPower);
    }
    return out;
}

std::vector<double> Mix(std::vector<double> a, const std::vector<double>& b, double gain = 1.0) {
    if (b.size() > a.size()) a.resize(b.size(), 0.0);
    for (size_t i = 0; i < b.size(); ++i) a[i] += gain * b[i];
    return a;
}

std::vector<double> Then(std::vector<double> a, const std::vector<double>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bool WriteWave(const std::string& path, const std::vector<double>& samples, double volume) {
    std::vector<uint8_t> out;
    auto put16 = [&](uint32_t v) { out.push_back(uint8_t(v)), out.push_back(uint8_t(v >> 8)); };
    auto put32 = [&](uint32_t v) { put16(v & 0xffff), put16(v >> 16); };
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(16);
    put16(1);         // PCM
    put16(1);         // mono
    put32(kRate);     // sample rate
    put32(kRate * 2); // byte rate
    put16(2);         // block alignment
    put16(16);        // bits per sample
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(dataBytes);
    // Headroom: several effects often sound at once (three nuclei scored by one loop).
    for (double s : samples)
        put16(uint16_t(int16_t(std::clamp(s * volume * 0.6, -1.0, 1.0) * 32767)));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

std::vector<double> Arpeggio(const std::vector<double>& notes, double noteSeconds,
                             double squareness) {
    std::vector<double> out;
    for (double f : notes) out = Then(out, Sweep(noteSeconds, f, f * 1.01, squareness, 0.05, 1.2));
    return out;
}

// A seamless loop: whole cycles of each partial fit the length exactly.
std::vector<double> Hum() {
    const int n = kRate / 2;
    std::vector<double> out(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        out[size_t(i)] = 0.5 * std::sin(2 * kPi * 100 * t) + 0.3 * std::sin(2 * kPi * 150 * t) +
                         0.15 * std::sin(2 * kPi * 300 * t) * std::sin(2 * kPi * 4 * t);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sounds OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    struct Effect {
        const char* name;
        std::function<std::vector<double>()> make;
        double volume;
    };
    const Effect effects[] = {
        {"bounce", [] { return Sweep(0.06, 700, 450, 0.2, 0.05, 1.5); }, 0.5},
        {"photon", [] { return Sweep(0.22, 1800, 300, 0.5, 0.02, 1.0); }, 0.45},
        {"killph",
         [] {
             return Mix(Sweep(0.18, 1500, 200, 0.3, 0.02, 1.0), NoiseBurst(0.18, 2, 0.5, 7), 0.4);
         },
         0.6},
        {"killnuc",
         [] {
             return Mix(NoiseBurst(0.45, 2.5, 0.25, 11), Sweep(0.45, 180, 60, 0.0, 0.01, 1.5), 0.8);
         },
         0.8},
        {"killnuc2",
         [] {
             return Mix(Arpeggio({523, 659, 784, 1047}, 0.09, 0.3), NoiseBurst(0.36, 2, 0.3, 13),
                        0.5);
         },
         0.6},
        {"killstar",
         [] {
             return Mix(Sweep(0.3, 2500, 900, 0.4, 0.01, 1.5), NoiseBurst(0.3, 3, 0.7, 17), 0.5);
         },
         0.5},
        {"killtail", [] { return Sweep(0.15, 110, 90, 0.9, 0.02, 0.8); }, 0.4},
        {"bonus",
         [] {
             return Arpeggio({523, 659, 784, 1047, 1319}, 0.08, 0.2);
         },
         0.5},
        {"death",
         [] {
             return Mix(NoiseBurst(1.2, 1.5, 0.2, 19), Sweep(1.2, 400, 40, 0.6, 0.01, 1.0), 0.6);
         },
         0.8},
        {"zoom", [] { return Sweep(0.85, 150, 1600, 0.3, 0.3, 0.6); }, 0.4},
        {"bond", [] { return Hum(); }, 0.35},
        {"splitter1", [] { return Sweep(0.1, 440, 440, 0.6, 0.05, 1.0); }, 0.4},
        {"splitter2", [] { return Sweep(0.1, 554, 554, 0.6, 0.05, 1.0); }, 0.4},
        {"splitter3", [] { return Sweep(0.1, 659, 659, 0.6, 0.05, 1.0); }, 0.4},
        {"splitter4",
         [] {
             return Mix(Sweep(0.25, 880, 220, 0.6, 0.02, 1.0), NoiseBurst(0.25, 2, 0.6, 23), 0.4);
         },
         0.5},
        {"mine",
         [] {
             return Mix(Sweep(0.12, 220, 140, 0.8, 0.02, 2.0), NoiseBurst(0.05, 2, 0.8, 29), 0.5);
         },
         0.5},
        {"pulsar",
         [] {
             std::vector<double> s = Sweep(0.3, 300, 600, 0.2, 0.05, 1.0);
             for (size_t i = 0; i < s.size(); ++i)
                 s[i] *= 0.6 + 0.4 * std::sin(2 * kPi * 18 * double(i) / kRate);
             return s;
         },
         0.5},
        {"loop",
         [] {
             return Mix(Sweep(0.25, 300, 900, 0.1, 0.2, 1.0), NoiseBurst(0.25, 1.5, 0.15, 31), 0.5);
         },
         0.5},
    };
    for (const Effect& e : effects) {
        const std::string path = dir + "/" + e.name + ".wav";
        if (!WriteWave(path, e.make(), e.volume)) {
            std::perror(path.c_str());
            return 1;
        }
    }
    return 0;
}
