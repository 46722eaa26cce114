// Writes the interface click: a RIFF WAVE file, PCM mono 44,100 Hz 16 bits,
// 269 samples (6 ms), 582 bytes in all. A short decaying knock of two tones; the last
// samples fade to silence so that the sound ends without a pop.
// Usage: make_click OUT.wav
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

void put16(std::vector<unsigned char>& b, std::uint16_t v)
{
    b.push_back(static_cast<unsigned char>(v & 0xff));
    b.push_back(static_cast<unsigned char>(v >> 8));
}

void put32(std::vector<unsigned char>& b, std::uint32_t v)
{
    put16(b, static_cast<std::uint16_t>(v & 0xffff));
    put16(b, static_cast<std::uint16_t>(v >> 16));
}

void putText(std::vector<unsigned char>& b, const char* text)
{
    for (const char* c = text; *c; ++c)
        b.push_back(static_cast<unsigned char>(*c));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.wav\n", argv[0]);
        return 2;
    }
    const std::uint32_t rate = 44100;
    const int samples = 269;
    const double pi = 3.14159265358979323846;

    std::vector<unsigned char> data;
    for (int i = 0; i < samples; ++i) {
        const double t = double(i) / rate;
        const double attack = std::min(1.0, i / 12.0);
        const double decay = std::exp(-t / 0.0014);
        const double fade = i > samples - 40 ? double(samples - i) / 40.0 : 1.0;
        const double tone = 0.75 * std::sin(2 * pi * 2600 * t) + 0.35 * std::sin(2 * pi * 1100 * t);
        const double v = 0.55 * 32767 * attack * decay * fade * tone;
        put16(data, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v))));
    }

    std::vector<unsigned char> out;
    putText(out, "RIFF");
    put32(out, 36 + std::uint32_t(data.size()));
    putText(out, "WAVEfmt ");
    put32(out, 16);       // format chunk size
    put16(out, 1);        // PCM
    put16(out, 1);        // mono
    put32(out, rate);     // samples per second
    put32(out, rate * 2); // bytes per second
    put16(out, 2);        // bytes per sample frame
    put16(out, 16);       // bits per sample
    putText(out, "data");
    put32(out, std::uint32_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());

    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
