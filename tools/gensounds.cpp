// Synthesises the game's sound effects and writes them as WAV files (16-bit PCM, 44100 Hz,
// the plain 44-byte header and nothing else). Speech cannot be synthesised here: when a folder
// of raw recordings is given (16-bit mono 44100 Hz, made by tools/gensounds.sh), each one is
// levelled, faded and written the same way.
//
//   gensounds OUTDIR [SPEECHDIR]
//
// Everything is deterministic: the same program writes the same bytes.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int RATE = 44100;
constexpr double PI = 3.14159265358979323846;

// A small seeded generator, so the sounds never depend on the game's own.
struct Rng {
    unsigned state;
    explicit Rng(unsigned seed) : state(seed * 2654435761u + 1u) {}
    double uniform()  // -1..1
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return (double)state / 2147483648.0 - 1.0;
    }
};

// One-pole low-pass filter.
struct LowPass {
    double y = 0;
    double step(double x, double cutoff)
    {
        double a = 1.0 - std::exp(-2.0 * PI * cutoff / RATE);
        y += a * (x - y);
        return y;
    }
};

// Two-pole resonant band-pass (state-variable form).
struct BandPass {
    double low = 0, band = 0;
    double step(double x, double centre, double damping)
    {
        double f = 2.0 * std::sin(PI * std::fmin(centre, RATE / 6.0) / RATE);
        low += f * band;
        double high = x - low - damping * band;
        band += f * high;
        return band;
    }
};

// A sound being built: left and right channels of equal length.
struct Track {
    std::vector<double> l, r;
    explicit Track(double seconds) : l((size_t)(seconds * RATE)), r(l.size()) {}
    size_t size() const { return l.size(); }
};

double decay(double t, double attack, double tau)
{
    if (t < attack)
        return t / attack;
    return std::exp(-(t - attack) / tau);
}

// A gun shot: a bright crack, a noisy body that darkens, and a falling low thump.
Track make_shot(unsigned seed, double pitch, double length)
{
    Track tr(length);
    Rng rng(seed);
    LowPass crack_lp, body_lp, body_lp2;
    double phase = 0;
    for (size_t i = 0; i < tr.size(); i++) {
        double t = (double)i / RATE;
        double n = rng.uniform();
        double crack = (n - crack_lp.step(n, 1500)) * decay(t, 0.0008, 0.012);
        double body = body_lp2.step(body_lp.step(n, 300 + 2600 * pitch * std::exp(-t / 0.05)), 2500) *
                      decay(t, 0.002, 0.07 / pitch);
        phase += 2 * PI * (50 + 140 * pitch * std::exp(-t / 0.03)) / RATE;
        double thump = std::sin(phase) * decay(t, 0.002, 0.06);
        double v = 0.35 * crack + 1.6 * body + 0.8 * thump;
        tr.l[i] = tr.r[i] = v;
    }
    return tr;
}

// A missile launch: an ignition pop, then a rising whoosh of band-passed noise over a rumble.
Track make_missile(unsigned seed, double from, double to, double length)
{
    Track tr(length);
    Rng rng(seed);
    BandPass bl, br;
    LowPass rumble_l, rumble_r, pop_lp, hiss_l, hiss_r;
    for (size_t i = 0; i < tr.size(); i++) {
        double t = (double)i / RATE;
        double x = t / length;
        double centre = from * std::pow(to / from, x);
        double env = std::fmin(1.0, t / 0.06) * std::pow(1.0 - x, 1.6);
        double nl = rng.uniform(), nr = rng.uniform(), common = rng.uniform();
        double pop = pop_lp.step(common, 900) * decay(t, 0.001, 0.025);
        double wl = hiss_l.step(bl.step(0.6 * common + 0.4 * nl, centre, 0.5), 2500);
        double wr = hiss_r.step(br.step(0.6 * common + 0.4 * nr, centre * 1.03, 0.5), 2500);
        double rl = rumble_l.step(0.7 * common + 0.3 * nl, 160) * (1.0 - x);
        double rr = rumble_r.step(0.7 * common + 0.3 * nr, 160) * (1.0 - x);
        tr.l[i] = 0.8 * wl * env + 2.5 * rl + 1.5 * pop;
        tr.r[i] = 0.8 * wr * env + 2.5 * rr + 1.5 * pop;
    }
    return tr;
}

// An explosion: rumbling noise whose brightness falls, a deep boom, and fading crackles.
// `size` 1 is a small blast; larger values are slower, deeper and longer.
Track make_explosion(unsigned seed, double size, double length)
{
    Track tr(length);
    Rng rng(seed);
    LowPass ll, lr, ll2, lr2, crackle_lp;
    double phase = 0;
    double tau = 0.18 * size;
    for (size_t i = 0; i < tr.size(); i++) {
        double t = (double)i / RATE;
        double common = rng.uniform(), nl = rng.uniform(), nr = rng.uniform();
        double cutoff = 250 + 3200 / size * std::exp(-t / (0.12 * size));
        double env = decay(t, 0.006, tau);
        double gl = ll2.step(ll.step(0.75 * common + 0.25 * nl, cutoff), cutoff * 1.5);
        double gr = lr2.step(lr.step(0.75 * common + 0.25 * nr, cutoff), cutoff * 1.5);
        phase += 2 * PI * (28 + 70 / size * std::exp(-t / 0.15)) / RATE;
        double boom = std::sin(phase) * decay(t, 0.004, 0.28 * size);
        // Sparse debris: a click now and then, rarer as the blast dies away.
        double density = 0.004 * std::exp(-t / (0.4 * size));
        double spark = (rng.uniform() * 0.5 + 0.5) < density ? rng.uniform() : 0.0;
        double crackle = crackle_lp.step(spark * 6, 1200);
        tr.l[i] = 2.2 * gl * env + 0.7 * boom + crackle;
        tr.r[i] = 2.2 * gr * env + 0.7 * boom + crackle * 0.8;
    }
    return tr;
}

// A hit on armour: a few inharmonic ringing partials over a short noisy knock.
Track make_hit(unsigned seed, double base, double ring, double length)
{
    Track tr(length);
    Rng rng(seed);
    LowPass knock_lp;
    const double ratios[4] = {1.0, 2.76, 5.40, 8.93};
    const double gains[4] = {1.0, 0.6, 0.35, 0.2};
    double phases[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < tr.size(); i++) {
        double t = (double)i / RATE;
        double v = 0;
        for (int k = 0; k < 4; k++) {
            phases[k] += 2 * PI * base * ratios[k] / RATE;
            v += gains[k] * std::sin(phases[k]) * decay(t, 0.0005, ring / (1 + k));
        }
        double knock = knock_lp.step(rng.uniform(), 1800) * decay(t, 0.0005, 0.012);
        tr.l[i] = tr.r[i] = 0.5 * v + 2.0 * knock;
    }
    return tr;
}

// Scales to the given peak (a fraction of full scale) and fades the last 10 ms to silence.
void finish(Track& tr, double peak)
{
    double max = 1e-9;
    for (size_t i = 0; i < tr.size(); i++)
        max = std::fmax(max, std::fmax(std::fabs(tr.l[i]), std::fabs(tr.r[i])));
    size_t fade = std::min(tr.size(), (size_t)(0.010 * RATE));
    for (size_t i = 0; i < tr.size(); i++) {
        double g = peak / max;
        size_t left = tr.size() - i;
        if (left <= fade)
            g *= (double)(left - 1) / (double)fade;
        tr.l[i] *= g;
        tr.r[i] *= g;
    }
}

void put_le(std::FILE* f, unsigned v, int bytes)
{
    for (int i = 0; i < bytes; i++)
        std::fputc((int)((v >> (8 * i)) & 0xff), f);
}

bool write_wav(const std::string& path, const Track& tr, bool stereo)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "gensounds: cannot write '%s'\n", path.c_str());
        return false;
    }
    unsigned channels = stereo ? 2 : 1;
    unsigned data = (unsigned)tr.size() * channels * 2;
    std::fputs("RIFF", f);
    put_le(f, 36 + data, 4);
    std::fputs("WAVEfmt ", f);
    put_le(f, 16, 4);
    put_le(f, 1, 2);
    put_le(f, channels, 2);
    put_le(f, RATE, 4);
    put_le(f, RATE * channels * 2, 4);
    put_le(f, channels * 2, 2);
    put_le(f, 16, 2);
    std::fputs("data", f);
    put_le(f, data, 4);
    for (size_t i = 0; i < tr.size(); i++) {
        for (unsigned c = 0; c < channels; c++) {
            double v = (c == 0 ? tr.l[i] : tr.r[i]) * 32767.0;
            long s = std::lround(std::fmax(-32768.0, std::fmin(32767.0, v)));
            put_le(f, (unsigned)(s & 0xffff), 2);
        }
    }
    bool ok = std::fclose(f) == 0;
    std::printf("%s: %.2f s, %s\n", path.c_str(), (double)tr.size() / RATE, stereo ? "stereo" : "mono");
    return ok;
}

// A raw 16-bit mono 44100 Hz recording as a track; empty when it cannot be read.
Track read_raw(const std::string& path)
{
    Track tr(0);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return tr;
    int lo, hi;
    while ((lo = std::fgetc(f)) != EOF && (hi = std::fgetc(f)) != EOF) {
        double v = (short)(lo | (hi << 8)) / 32768.0;
        tr.l.push_back(v);
        tr.r.push_back(v);
    }
    std::fclose(f);
    return tr;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: gensounds OUTDIR [SPEECHDIR]\n");
        return 2;
    }
    std::string out = std::string(argv[1]) + "/";
    bool ok = true;
    auto emit = [&](const std::string& name, Track tr, double peak, bool stereo) {
        finish(tr, peak);
        ok = write_wav(out + name + ".wav", tr, stereo) && ok;
    };

    for (int i = 0; i < 2; i++)
        emit("shoot" + std::to_string(i), make_shot(11 + i, 1.0 + 0.3 * i, 0.35 + 0.05 * i), 0.45, false);

    const double missile[4][3] = {{300, 1600, 0.95}, {250, 1300, 1.1}, {360, 2000, 0.85}, {220, 1500, 1.2}};
    for (int i = 0; i < 4; i++)
        emit("shoot_missile" + std::to_string(i), make_missile(21 + i, missile[i][0], missile[i][1], missile[i][2]),
             0.4, true);

    for (int i = 0; i < 6; i++)
        emit("explode_large" + std::to_string(i), make_explosion(31 + i, 2.2 + 0.25 * i, 1.6 + 0.08 * i), 0.55, true);

    for (int i = 0; i < 7; i++)
        emit("explode" + std::to_string(i), make_explosion(41 + i, 0.9 + 0.12 * i, 0.7 + 0.05 * i), 0.5, true);

    const double hit[8][3] = {{420, 0.09, 0.30}, {560, 0.07, 0.25}, {330, 0.12, 0.35}, {710, 0.05, 0.22},
                              {480, 0.10, 0.30}, {390, 0.06, 0.24}, {640, 0.08, 0.28}, {270, 0.11, 0.34}};
    for (int i = 0; i < 8; i++)
        emit("hit" + std::to_string(i), make_hit(51 + i, hit[i][0], hit[i][1], hit[i][2]), 0.4, false);

    if (argc == 3) {
        for (const char* name : {"roger0", "okay0", "okay1"}) {
            Track tr = read_raw(std::string(argv[2]) + "/" + name + ".raw");
            if (tr.size() == 0) {
                std::fprintf(stderr, "gensounds: no recording for '%s'\n", name);
                ok = false;
                continue;
            }
            emit(name, tr, 0.5, false);
        }
    }
    return ok ? 0 : 1;
}
