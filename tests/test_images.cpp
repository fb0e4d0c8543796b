#include "sdlmisc.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <png.h>

#include "address_cap.h"
#include "pngmisc.h"

namespace {

// A PNG to write: IHDR values, the packed rows as the file stores them, optional palette
// and transparency.
struct PngSpec {
    png_uint_32 width = 2, height = 2;
    int bit_depth = 8;
    int color_type = PNG_COLOR_TYPE_RGBA;
    int interlace = PNG_INTERLACE_NONE;
    std::vector<std::vector<png_byte>> rows;
    std::vector<png_color> palette;
    std::vector<png_byte> trns;  // palette alpha values
    bool trns_grey = false;      // for grey images: tRNS with this grey value
    png_uint_16 trns_grey_value = 0;
};

bool write_rows(FILE* f, png_structp png, png_infop info, const PngSpec* s, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, f);
    png_set_IHDR(png, info, s->width, s->height, s->bit_depth, s->color_type, s->interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!s->palette.empty())
        png_set_PLTE(png, info, const_cast<png_colorp>(s->palette.data()), int(s->palette.size()));
    if (!s->trns.empty())
        png_set_tRNS(png, info, const_cast<png_bytep>(s->trns.data()), int(s->trns.size()), nullptr);
    png_color_16 grey = {};
    grey.gray = s->trns_grey_value;
    if (s->trns_grey)
        png_set_tRNS(png, info, nullptr, 0, &grey);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

void write_png(const std::string& path, const PngSpec& s)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    for (auto& r : s.rows)
        rows.push_back(const_cast<png_bytep>(r.data()));
    bool ok = write_rows(f, png, info, &s, rows.data());
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    ASSERT_TRUE(ok);
}

void write_bytes(const std::string& path, const std::string& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string read_bytes(const std::string& path)
{
    std::string s;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    std::fclose(f);
    return s;
}

// The R, G, B, A bytes of pixel (x, y).
std::vector<int> pixel(SDL_Surface* s, int x, int y)
{
    const Uint8* p = static_cast<Uint8*>(s->pixels) + y * s->pitch + x * 4;
    return {p[0], p[1], p[2], p[3]};
}

class ImageTest : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        char tmpl[] = "/tmp/quorvale_images_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { std::system(("rm -rf " + dir).c_str()); }
    std::string path(const char* name) { return dir + "/" + name; }

    // Loads through load_image, capturing what it wrote on standard error.
    SDL_Surface* load(const std::string& p, std::string* errors)
    {
        testing::internal::CaptureStderr();
        SDL_Surface* s = load_image(p.c_str());
        *errors = testing::internal::GetCapturedStderr();
        return s;
    }
};

TEST(ImageExtension, MatchesOnlyADotAndTheExactExtension)
{
    EXPECT_TRUE(check_file_extension("resources/images/voxel.png", "png"));
    EXPECT_TRUE(check_file_extension("a.bmp", "bmp"));
    EXPECT_FALSE(check_file_extension("voxel.PNG", "png"));
    EXPECT_FALSE(check_file_extension("voxelapng", "png"));
    EXPECT_FALSE(check_file_extension("png", "png")) << "the extension must be shorter than the path";
    EXPECT_TRUE(check_file_extension(".png", "png"));
    EXPECT_FALSE(check_file_extension("x.png.txt", "png"));
}

TEST_F(ImageTest, UnknownExtensionsAreRefusedWithTheirName)
{
    std::string p = path("picture.PNG"), errors;
    write_bytes(p, "whatever");
    EXPECT_EQ(load(p, &errors), nullptr);
    EXPECT_EQ(errors, "Unknown file extension: " + p + "\n");
    EXPECT_EQ(load(path("picturepng"), &errors), nullptr);
    EXPECT_EQ(errors, "Unknown file extension: " + path("picturepng") + "\n");
}

TEST_F(ImageTest, FilesThatAreNotWholePngsFailWithTheDecoderMessage)
{
    PngSpec good;
    good.width = good.height = 16;
    good.rows.assign(16, std::vector<png_byte>(64, 200));
    write_png(path("good.png"), good);
    std::string whole = read_bytes(path("good.png"));
    ASSERT_GT(whole.size(), 60u);

    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"text.png", "This is not a picture.\n"},
        {"empty.png", ""},
        {"signature.png", whole.substr(0, 8)},
        {"header.png", whole.substr(0, 40)},
        {"truncated.png", whole.substr(0, whole.size() - 30)},
        {"corrupt.png", whole.substr(0, 45) + std::string(whole.size() - 45, '\x5a')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string p = path(c.name), errors;
        write_bytes(p, c.bytes);
        EXPECT_EQ(load(p, &errors), nullptr);
        EXPECT_NE(errors.find("pngmisc_load_image failed\n"), std::string::npos) << errors;
        EXPECT_NE(errors.find("Could not load " + p + "\n"), std::string::npos) << errors;
    }
    std::string errors;
    EXPECT_EQ(load(path("missing.png"), &errors), nullptr);
    EXPECT_EQ(errors, "pngmisc_load_image failed\nCould not load " + path("missing.png") + "\n");
}

// The CRC-32 that closes a PNG chunk, over its type and data.
png_uint_32 chunk_crc(const char* data, size_t n)
{
    png_uint_32 crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; i++) {
        crc ^= png_byte(data[i]);
        for (int k = 0; k < 8; k++)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return crc ^ 0xFFFFFFFFu;
}

// Patches the IHDR of a small valid file to claim an enormous image, fixing the CRC.
TEST_F(ImageTest, AnAbsurdHeaderFailsBeforeAllocatingTheImage)
{
    PngSpec s;
    s.rows.assign(2, std::vector<png_byte>(8, 1));
    write_png(path("small.png"), s);
    std::string bytes = read_bytes(path("small.png"));
    for (png_uint_32 dim : {200000u, 60000u, 8000u}) {
        std::string b = bytes;
        for (int k = 0; k < 2; k++)  // width, then height, big-endian after "IHDR"
            for (int i = 0; i < 4; i++)
                b[16 + 4 * k + i] = char((dim >> (24 - 8 * i)) & 0xFF);
        png_uint_32 crc = chunk_crc(b.data() + 12, 17);
        for (int i = 0; i < 4; i++)
            b[29 + i] = char((crc >> (24 - 8 * i)) & 0xFF);
        std::string p = path("huge.png"), errors;
        write_bytes(p, b);
        EXPECT_EQ(load(p, &errors), nullptr) << dim;
        EXPECT_NE(errors.find("pngmisc_load_image failed\n"), std::string::npos);
    }
}

// A chunk before the pixels may claim up to 2 GiB. The loader reads nothing but the header,
// the palette, tRNS and the pixels, so a claim in a chunk it skips is never allocated: with
// the address space capped 1 GiB above what the process holds, a failed 1.8 GiB allocation
// would show as libpng's "out of memory". Skipped chunks of honest sizes change nothing.
TEST_F(ImageTest, ChunksTheLoaderSkipsAreNeverAllocated)
{
    PngSpec s;
    s.rows = {{1, 2, 3, 255, 4, 5, 6, 255}, {7, 8, 9, 255, 10, 11, 12, 128}};
    write_png(path("small.png"), s);
    std::string bytes = read_bytes(path("small.png"));
    ASSERT_EQ(bytes.substr(12, 4), "IHDR");
    auto chunk = [](const std::string& type, const std::string& data, png_uint_32 length) {
        std::string c;
        for (int i = 0; i < 4; i++)
            c += char((length >> (24 - 8 * i)) & 0xFF);
        c += type + data;
        png_uint_32 crc = chunk_crc(c.data() + 4, c.size() - 4);
        for (int i = 0; i < 4; i++)
            c += char((crc >> (24 - 8 * i)) & 0xFF);
        return c;
    };
    std::string errors;
    std::string text("Comment\0drawn by hand", 21);
    std::string gamma = {0, 0, char(0xB1), char(0x8F)};
    std::string annotated = bytes.substr(0, 33) + chunk("tEXt", text, text.size()) +
                            chunk("gAMA", gamma, 4) + bytes.substr(33);
    write_bytes(path("annotated.png"), annotated);
    SDL_Surface* surface = load(path("annotated.png"), &errors);
    ASSERT_NE(surface, nullptr) << errors;
    EXPECT_EQ(pixel(surface, 1, 1), (std::vector<int>{10, 11, 12, 128}));
    EXPECT_EQ(pixel(surface, 0, 0), (std::vector<int>{1, 2, 3, 255}));
    SDL_FreeSurface(surface);

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizer runtimes reserve more address space than the cap leaves";
#endif
    for (const char* type : {"zTXt", "iCCP", "tEXt", "quOr"}) {
        SCOPED_TRACE(type);
        // The claim, then a few bytes where 1.8 GiB should follow.
        std::string huge = bytes.substr(0, 33) + std::string("\x75\x00\x00\x00", 4) + type +
                           std::string(16, 'x');
        std::string p = path("claims.png");
        write_bytes(p, huge);
        EXPECT_EXIT(
            {
                cap_address_space(1ul << 30);
                // The death test holds standard error itself: the messages go to a file.
                std::string log = path("claims.log");
                if (!std::freopen(log.c_str(), "w", stderr))
                    std::exit(2);
                SDL_Surface* loaded = load_image(p.c_str());
                std::fflush(stderr);
                std::string err = read_bytes(log);
                std::exit(!loaded && err.find("pngmisc_load_image failed") != std::string::npos &&
                                  err.find("memory") == std::string::npos
                              ? 0
                              : 1);
            },
            ::testing::ExitedWithCode(0), "");
    }
}

TEST_F(ImageTest, RgbaPngLoadsTopRowFirstInTheAllowedFormat)
{
    PngSpec s;
    s.width = 3;
    s.rows = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}};
    write_png(path("rgba.png"), s);
    std::string errors;
    SDL_Surface* surface = load(path("rgba.png"), &errors);
    ASSERT_NE(surface, nullptr) << errors;
    EXPECT_TRUE(surface_format_allowed(surface));
    EXPECT_EQ(surface->w, 3);
    EXPECT_EQ(surface->h, 2);
    EXPECT_EQ(pixel(surface, 0, 0), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(pixel(surface, 2, 0), (std::vector<int>{9, 10, 11, 12}));
    EXPECT_EQ(pixel(surface, 1, 1), (std::vector<int>{17, 18, 19, 20}));
    EXPECT_EQ(errors, "");
    SDL_FreeSurface(surface);
}

TEST_F(ImageTest, PngsWithoutFourBytesAPixelAreExpandedToOpaqueRgba)
{
    struct Case {
        const char* name;
        int color_type, bit_depth;
        std::vector<std::vector<png_byte>> rows;
        std::vector<int> first, last;  // pixel (0, 0) and (1, 1) as R, G, B, A
    } cases[] = {
        {"rgb.png", PNG_COLOR_TYPE_RGB, 8, {{10, 20, 30, 40, 50, 60}, {70, 80, 90, 100, 110, 120}},
         {10, 20, 30, 255}, {100, 110, 120, 255}},
        {"grey.png", PNG_COLOR_TYPE_GRAY, 8, {{7, 8}, {9, 250}}, {7, 7, 7, 255}, {250, 250, 250, 255}},
        {"grey_alpha.png", PNG_COLOR_TYPE_GRAY_ALPHA, 8, {{7, 100, 8, 0}, {9, 1, 60, 200}},
         {7, 7, 7, 100}, {60, 60, 60, 200}},
        // 1-bit grey: pixels 1, 0 / 0, 1 packed into the high bits.
        {"grey1.png", PNG_COLOR_TYPE_GRAY, 1, {{0x80}, {0x40}}, {255, 255, 255, 255}, {255, 255, 255, 255}},
        // 16-bit RGB: only the high bytes survive.
        {"rgb16.png", PNG_COLOR_TYPE_RGB, 16,
         {{0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0xfe, 1, 2, 3, 4, 5}},
         {0x12, 0x56, 0x9a, 255}, {0xfe, 2, 4, 255}},
        {"rgba16.png", PNG_COLOR_TYPE_RGBA, 16,
         {std::vector<png_byte>{0xaa, 1, 0xbb, 2, 0xcc, 3, 0xdd, 4, 0, 0, 0, 0, 0, 0, 0, 0},
          std::vector<png_byte>(16, 0x80)},
         {0xaa, 0xbb, 0xcc, 0xdd}, {0x80, 0x80, 0x80, 0x80}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PngSpec s;
        s.color_type = c.color_type;
        s.bit_depth = c.bit_depth;
        s.rows = c.rows;
        write_png(path(c.name), s);
        std::string errors;
        SDL_Surface* surface = load(path(c.name), &errors);
        ASSERT_NE(surface, nullptr) << errors;
        EXPECT_TRUE(surface_format_allowed(surface));
        EXPECT_EQ(pixel(surface, 0, 0), c.first);
        EXPECT_EQ(pixel(surface, 1, 1), c.last);
        SDL_FreeSurface(surface);
    }
}

TEST_F(ImageTest, PaletteWithTransparencyGivesAlphaPerEntry)
{
    PngSpec s;
    s.color_type = PNG_COLOR_TYPE_PALETTE;
    s.bit_depth = 2;
    s.palette = {{255, 128, 0}, {1, 2, 3}, {200, 100, 50}};
    s.trns = {0, 128};  // entry 2 has no tRNS value: opaque
    s.rows = {{0x10}, {0x80}};  // row 0: entries 0, 1; row 1: entries 2, 0
    write_png(path("palette.png"), s);
    std::string errors;
    SDL_Surface* surface = load(path("palette.png"), &errors);
    ASSERT_NE(surface, nullptr) << errors;
    EXPECT_EQ(pixel(surface, 0, 0), (std::vector<int>{255, 128, 0, 0}));
    EXPECT_EQ(pixel(surface, 1, 0), (std::vector<int>{1, 2, 3, 128}));
    EXPECT_EQ(pixel(surface, 0, 1), (std::vector<int>{200, 100, 50, 255}));
    SDL_FreeSurface(surface);

    PngSpec g;
    g.color_type = PNG_COLOR_TYPE_GRAY;
    g.trns_grey = true;
    g.trns_grey_value = 9;
    g.rows = {{9, 10}, {11, 9}};
    write_png(path("grey_trns.png"), g);
    surface = load(path("grey_trns.png"), &errors);
    ASSERT_NE(surface, nullptr) << errors;
    EXPECT_EQ(pixel(surface, 0, 0), (std::vector<int>{9, 9, 9, 0}));
    EXPECT_EQ(pixel(surface, 1, 0), (std::vector<int>{10, 10, 10, 255}));
    SDL_FreeSurface(surface);
}

TEST_F(ImageTest, InterlacedPngsLoadLikePlainOnes)
{
    PngSpec s;
    s.width = s.height = 9;
    s.interlace = PNG_INTERLACE_ADAM7;
    for (png_uint_32 y = 0; y < 9; y++) {
        std::vector<png_byte> row;
        for (png_uint_32 x = 0; x < 9; x++)
            row.insert(row.end(), {png_byte(x * 20), png_byte(y * 20), 7, 255});
        s.rows.push_back(row);
    }
    write_png(path("adam7.png"), s);
    std::string errors;
    SDL_Surface* surface = load(path("adam7.png"), &errors);
    ASSERT_NE(surface, nullptr) << errors;
    EXPECT_EQ(pixel(surface, 8, 3), (std::vector<int>{160, 60, 7, 255}));
    EXPECT_EQ(pixel(surface, 5, 8), (std::vector<int>{100, 160, 7, 255}));
    SDL_FreeSurface(surface);
}

TEST_F(ImageTest, BmpLoadsAndIsConvertedToTheAllowedFormat)
{
    SDL_Surface* src = SDL_CreateRGBSurface(0, 4, 3, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    ASSERT_NE(src, nullptr);
    SDL_FillRect(src, nullptr, SDL_MapRGB(src->format, 10, 20, 30));
    SDL_Rect r = {3, 2, 1, 1};
    SDL_FillRect(src, &r, SDL_MapRGB(src->format, 250, 128, 1));
    ASSERT_EQ(SDL_SaveBMP(src, path("pic.bmp").c_str()), 0);
    SDL_FreeSurface(src);

    std::string errors;
    SDL_Surface* surface = load(path("pic.bmp"), &errors);
    ASSERT_NE(surface, nullptr) << errors;
    EXPECT_TRUE(surface_format_allowed(surface));
    EXPECT_EQ(surface->w, 4);
    EXPECT_EQ(surface->h, 3);
    auto p = pixel(surface, 0, 0);
    EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), (std::vector<int>{10, 20, 30}));
    p = pixel(surface, 3, 2);
    EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), (std::vector<int>{250, 128, 1}));
    SDL_FreeSurface(surface);

    write_bytes(path("bad.bmp"), "BM but not really");
    EXPECT_EQ(load(path("bad.bmp"), &errors), nullptr);
    EXPECT_EQ(errors, "Could not load " + path("bad.bmp") + "\n");
}

// SDL allocates a BMP's whole surface from its header, so the size is checked first, by the
// same limits as PNG: 8192 on a side and 16 Mi pixels, whatever the header kind or row order.
TEST_F(ImageTest, BmpsPastTheSizeLimitsAreRefusedBeforeDecoding)
{
    std::string errors;
    for (int width : {8192, 8193}) {
        SDL_Surface* src = SDL_CreateRGBSurface(0, width, 1, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
        ASSERT_NE(src, nullptr);
        std::string p = path("wide.bmp");
        ASSERT_EQ(SDL_SaveBMP(src, p.c_str()), 0);
        SDL_FreeSurface(src);
        SDL_Surface* surface = load(p, &errors);
        if (width == 8192) {
            ASSERT_NE(surface, nullptr) << errors;
            EXPECT_EQ(surface->w, 8192);
            SDL_FreeSurface(surface);
        } else {
            EXPECT_EQ(surface, nullptr);
            EXPECT_EQ(errors, "BMP of 8193 x 1 pixels is past the size limits\nCould not load " + p +
                                  "\n");
        }
    }

    // Headers alone: the file never gets as far as its pixels.
    auto le = [](long v, int bytes) {
        std::string b;
        for (int i = 0; i < bytes; i++)
            b += char((v >> (8 * i)) & 0xFF);
        return b;
    };
    auto info_header = [&](long w, long h) {
        return "BM" + le(70, 4) + le(0, 4) + le(54, 4) + le(40, 4) + le(w, 4) + le(h, 4) +
               le(1, 2) + le(24, 2) + std::string(24, '\0') + std::string(16, '\x7f');
    };
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"BMP of 20000 x 500000", info_header(20000, 500000)},
        {"BMP of 4097 x 4097", info_header(4097, 4097)},
        {"BMP of 1 x 8193", info_header(1, -8193)},
        {"BMP of 17 x 2147483646", info_header(17, -2147483646L)},
        // The old 12-byte header with 16-bit sizes.
        {"BMP of 65535 x 2", "BM" + le(38, 4) + le(0, 4) + le(26, 4) + le(12, 4) + le(65535, 2) +
                                 le(2, 2) + le(1, 2) + le(24, 2) + std::string(12, '\x7f')},
        // Files that end inside the header: the decoder reads the missing bytes as zeros and
        // still allocates what the sizes that are there claim.
        {"BMP of 64257 x 65533", "BM" + le(50, 4) + le(0, 4) + le(0, 4) + le(12, 4) +
                                     le(64257, 2) + le(65533, 2) + le(1, 2) + "\x18"},
        {"BMP of 20000 x 41248", info_header(20000, 500000).substr(0, 24)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string p = path("huge.bmp");
        write_bytes(p, c.bytes);
        EXPECT_EQ(load(p, &errors), nullptr);
        EXPECT_EQ(errors, std::string(c.what) + " pixels is past the size limits\nCould not load " +
                              p + "\n");
    }
}

TEST(ImageConvert, AnAllowedSurfaceIsLeftUntouched)
{
    SDL_Surface* s = SDL_CreateRGBSurface(0, 2, 2, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);
    SDL_Surface* before = s;
    EXPECT_EQ(convert_surface_to_allowed(&s), 0);
    EXPECT_EQ(s, before);
    SDL_FreeSurface(s);

    SDL_Surface* bgra = SDL_CreateRGBSurface(0, 2, 2, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    EXPECT_FALSE(surface_format_allowed(bgra));
    SDL_FillRect(bgra, nullptr, SDL_MapRGBA(bgra->format, 1, 2, 3, 4));
    EXPECT_EQ(convert_surface_to_allowed(&bgra), 0);
    ASSERT_NE(bgra, nullptr);
    EXPECT_TRUE(surface_format_allowed(bgra));
    EXPECT_EQ(pixel(bgra, 1, 1), (std::vector<int>{1, 2, 3, 4}));
    SDL_FreeSurface(bgra);
}

TEST(ImageReplaceColor, OnlyExactMatchesOfAllFourChannelsChange)
{
    SDL_Surface* s = SDL_CreateRGBSurface(0, 3, 2, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);
    Uint8 key[4] = {255, 128, 0, 255}, near_key[4] = {255, 128, 0, 254}, clear[4] = {0, 0, 0, 0};
    Uint8* px = static_cast<Uint8*>(s->pixels);
    std::memcpy(px, key, 4);
    std::memcpy(px + 4, near_key, 4);
    std::memcpy(px + s->pitch + 8, key, 4);
    replace_color(s, key, clear);
    EXPECT_EQ(pixel(s, 0, 0), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(pixel(s, 1, 0), (std::vector<int>{255, 128, 0, 254}));
    EXPECT_EQ(pixel(s, 2, 1), (std::vector<int>{0, 0, 0, 0}));
    SDL_FreeSurface(s);
}

// The party textures are made from copies of one surface, each recoloured on its own.
TEST(ImageCopy, ACopyHasThePixelsAndIsRecolouredAlone)
{
    SDL_Surface* s = SDL_CreateRGBSurface(0, 3, 2, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);
    ASSERT_NE(s, nullptr);
    Uint8* px = static_cast<Uint8*>(s->pixels);
    for (int i = 0; i < s->pitch * s->h; i++)
        px[i] = Uint8(i * 7 + 1);
    Uint8 key[4] = {255, 128, 0, 255}, green[4] = {128, 255, 0, 255};
    std::memcpy(px + s->pitch + 4, key, 4);

    SDL_Surface* copy = copy_surface(s);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(surface_format_allowed(copy));
    EXPECT_EQ(copy->w, 3);
    EXPECT_EQ(copy->h, 2);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++)
            EXPECT_EQ(pixel(copy, x, y), pixel(s, x, y)) << x << "," << y;
    replace_color(copy, key, green);
    EXPECT_EQ(pixel(copy, 1, 1), (std::vector<int>{128, 255, 0, 255}));
    EXPECT_EQ(pixel(s, 1, 1), (std::vector<int>{255, 128, 0, 255}));
    SDL_FreeSurface(copy);
    SDL_FreeSurface(s);
}

TEST(ImageReplaceColorDeathTest, ASurfaceInAnotherFormatStopsTheProgram)
{
    SDL_Surface* s = SDL_CreateRGBSurface(0, 2, 2, 24, 0xFF, 0xFF00, 0xFF0000, 0);
    Uint8 a[4] = {0, 0, 0, 0}, b[4] = {1, 1, 1, 1};
    EXPECT_DEATH(replace_color(s, a, b), "surface_format_allowed");
    SDL_FreeSurface(s);
}

TEST(ImageOpenGlFormat, FollowsTheBytesPerPixelAndTheRedMask)
{
    struct Case {
        int bpp;
        Uint32 r, g, b, a;
        int result;
        GLenum format;
        GLint colors;
    } cases[] = {
        {32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, 0, GL_RGBA, 4},
        {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, GL_BGRA, 4},
        {24, 0xFF, 0xFF00, 0xFF0000, 0, 0, GL_RGB, 3},
        {24, 0xFF0000, 0xFF00, 0xFF, 0, 0, GL_BGR, 3},
        {16, 0xF800, 0x07E0, 0x001F, 0, -1, GLenum(12345), 2},
    };
    for (const Case& c : cases) {
        SDL_Surface* s = SDL_CreateRGBSurface(0, 2, 2, c.bpp, c.r, c.g, c.b, c.a);
        ASSERT_NE(s, nullptr);
        GLenum format = 12345;
        GLint colors = 0;
        EXPECT_EQ(get_surface_opengl_format(s, &format, &colors), c.result) << c.bpp;
        EXPECT_EQ(format, c.format) << c.bpp;
        EXPECT_EQ(colors, c.colors) << c.bpp;
        SDL_FreeSurface(s);
    }
}

TEST(ImageGameFiles, TheShippedImagesLoadAtTheirSizes)
{
    struct Case {
        const char* path;
        int size;
    } cases[] = {{"resources/images/misc.png", 256},
                 {"resources/images/entity.png", 512},
                 {"resources/images/voxel.png", 1024}};
    for (const Case& c : cases) {
        SDL_Surface* s = load_image(c.path);
        ASSERT_NE(s, nullptr) << c.path;
        EXPECT_EQ(s->w, c.size);
        EXPECT_EQ(s->h, c.size);
        SDL_FreeSurface(s);
    }
}

}  // namespace
