#include "platform/win32/Resources.h"

#include "platform/win32/Dpi.h"
#include "platform/win32/Fatal.h"
#include "platform/win32/Text.h"

#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>

namespace {

[[noreturn]] void fail(const std::string& name, const char* what, HRESULT result) {
    char message[256];
    std::snprintf(message, sizeof message, "The program's %s %s (error 0x%08lX).", name.c_str(),
                  what, static_cast<unsigned long>(result));
    Fatal::stop(message);
}

void check(HRESULT result, const std::string& name) {
    if (FAILED(result))
        fail(name, "cannot be decoded", result);
}

// Releases a COM interface when it goes out of scope.
template <typename Interface> struct Com {
    Interface* p = nullptr;
    ~Com() {
        if (p)
            p->Release();
    }
    Interface* operator->() const { return p; }
    Interface** operator&() { return &p; }
};

Picture decode(const std::string& name) {
    // Resource names compare without case: the script writes them in capitals.
    HRSRC found = FindResourceW(nullptr, Text::wide(name).value_or(L"").c_str(), RT_RCDATA);
    if (!found)
        fail(name, "is not in the executable", HRESULT_FROM_WIN32(GetLastError()));
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    const DWORD size = SizeofResource(nullptr, found);

    Com<IWICImagingFactory> factory;
    check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                           IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)),
          name);
    Com<IWICStream> stream;
    check(factory->CreateStream(&stream), name);
    check(stream->InitializeFromMemory(const_cast<BYTE*>(bytes), size), name);
    Com<IWICBitmapDecoder> decoder;
    check(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand,
                                           &decoder),
          name);
    Com<IWICBitmapFrameDecode> frame;
    check(decoder->GetFrame(0, &frame), name);
    Com<IWICFormatConverter> converter;
    check(factory->CreateFormatConverter(&converter), name);
    check(converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                nullptr, 0.0, WICBitmapPaletteTypeCustom),
          name);
    UINT width = 0, height = 0;
    check(converter->GetSize(&width, &height), name);
    Picture picture;
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    picture.pixels.resize(static_cast<std::size_t>(width) * height);
    check(converter->CopyPixels(nullptr, width * 4, width * height * 4,
                                reinterpret_cast<BYTE*>(picture.pixels.data())),
          name);
    return picture;
}

// The header of a 32-bit top-down bitmap of size x size pixels.
BITMAPINFO squareBitmap(int size) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// The icon's size x size pixels as they are, alpha 255 where its mask is black, else 0.
Picture iconPixels(HICON icon, int size, const std::string& name) {
    ICONINFO parts{};
    if (!GetIconInfo(icon, &parts))
        fail(name, "cannot be read", HRESULT_FROM_WIN32(GetLastError()));
    Picture picture{size, size, std::vector<std::uint32_t>(static_cast<std::size_t>(size) * size)};
    std::vector<std::uint32_t> mask(picture.pixels.size());
    BITMAPINFO info = squareBitmap(size);
    HDC screen = GetDC(nullptr);
    const bool read =
        parts.hbmColor &&
        GetDIBits(screen, parts.hbmColor, 0, size, picture.pixels.data(), &info, DIB_RGB_COLORS) ==
            size &&
        GetDIBits(screen, parts.hbmMask, 0, size, mask.data(), &info, DIB_RGB_COLORS) == size;
    ReleaseDC(nullptr, screen);
    DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);
    if (!read)
        fail(name, "cannot be read", E_FAIL);
    for (std::size_t i = 0; i < mask.size(); ++i)
        picture.pixels[i] =
            (picture.pixels[i] & 0xFFFFFFu) | ((mask[i] & 0xFFFFFFu) ? 0u : 0xFF000000u);
    return picture;
}

// The picture as an icon of size x size pixels. Each pixel is the average of the picture's
// pixels that it covers, weighted by their alpha (a nearest copy when enlarging); the mask is
// opaque where the alpha is at least half.
HICON scaledIcon(const Picture& picture, int size, const std::string& name) {
    BITMAPINFO info = squareBitmap(size);
    void* bits = nullptr;
    HBITMAP color = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!color)
        fail(name, "cannot be scaled", HRESULT_FROM_WIN32(GetLastError()));
    auto* out = static_cast<std::uint32_t*>(bits);
    // CreateBitmap's rows are whole 16-bit words; a set bit is transparent.
    const int maskStride = (size + 15) / 16 * 2;
    std::vector<BYTE> mask(static_cast<std::size_t>(maskStride) * size, 0);
    const int own = picture.width;
    for (int y = 0; y < size; ++y) {
        const int y0 = y * own / size, y1 = std::max(y0 + 1, ((y + 1) * own + size - 1) / size);
        for (int x = 0; x < size; ++x) {
            const int x0 = x * own / size, x1 = std::max(x0 + 1, ((x + 1) * own + size - 1) / size);
            std::uint64_t a = 0, r = 0, g = 0, b = 0;
            for (int sy = y0; sy < y1; ++sy) {
                for (int sx = x0; sx < x1; ++sx) {
                    const std::uint32_t p = picture.pixels[static_cast<std::size_t>(sy) * own + sx];
                    const std::uint32_t alpha = p >> 24;
                    a += alpha;
                    r += alpha * ((p >> 16) & 0xFF);
                    g += alpha * ((p >> 8) & 0xFF);
                    b += alpha * (p & 0xFF);
                }
            }
            const std::uint64_t count = static_cast<std::uint64_t>(x1 - x0) * (y1 - y0);
            std::uint32_t pixel = 0;
            if (a)
                pixel = static_cast<std::uint32_t>(((a + count / 2) / count) << 24 |
                                                   ((r + a / 2) / a) << 16 |
                                                   ((g + a / 2) / a) << 8 | ((b + a / 2) / a));
            out[static_cast<std::size_t>(y) * size + x] = pixel;
            if ((pixel >> 24) < 128)
                mask[static_cast<std::size_t>(y) * maskStride + x / 8] |=
                    static_cast<BYTE>(0x80 >> (x % 8));
        }
    }
    HBITMAP maskBitmap = CreateBitmap(size, size, 1, 1, mask.data());
    ICONINFO parts{TRUE, 0, 0, maskBitmap, color};
    HICON icon = maskBitmap ? CreateIconIndirect(&parts) : nullptr;
    DeleteObject(maskBitmap);
    DeleteObject(color);
    if (!icon)
        fail(name, "cannot be scaled", HRESULT_FROM_WIN32(GetLastError()));
    return icon;
}

} // namespace

const Picture& Resources::picture(const char* name) {
    static std::map<std::string, Picture> pictures;
    auto at = pictures.find(name);
    if (at == pictures.end())
        at = pictures.emplace(name, decode(name)).first;
    return at->second;
}

// Each size made once and kept: a shared image (LR_SHARED) would come back at whichever size
// was asked for first.
HANDLE Resources::image(const char* name, UINT type, int size) {
    static std::map<std::tuple<std::string, UINT, int>, HANDLE> images;
    auto [at, added] = images.try_emplace({name, type, size}, nullptr);
    if (added) {
        // The resource script numbers the icon group rather than naming it: group 1, as the
        // executable's own icon is looked for.
        const std::wstring resource = Text::wide(name).value_or(L"");
        const wchar_t* id = type == IMAGE_ICON ? MAKEINTRESOURCEW(1) : resource.c_str();
        at->second = LoadImageW(GetModuleHandleW(nullptr), id, type, size, size, 0);
        if (!at->second)
            fail(name, "cannot be loaded", HRESULT_FROM_WIN32(GetLastError()));
    }
    return at->second;
}

HICON Resources::icon(const char* name, int size) {
    if (std::string(name) != "vardo.ico")
        fail(name, "is not in the executable", E_INVALIDARG);
    // Loaded at the size of its one image, and scaled here to the others: Wine's loader
    // shrinks an image that has a colour table in the wrong colours (under Wine 8 the 16 x 16
    // title-bar icon came out in the default palette's colours, as if at random).
    constexpr int ownSize = 32;
    const auto own = static_cast<HICON>(image(name, IMAGE_ICON, ownSize));
    if (size == ownSize)
        return own;
    static std::map<int, HICON> scaled;
    auto [at, added] = scaled.try_emplace(size, nullptr);
    if (added)
        at->second = scaledIcon(iconPixels(own, ownSize, name), size, name);
    return at->second;
}

// Its own 32 x 32 pixels at 96 dpi, whatever size the system's cursors have, enlarged with the
// scale as the windows are.
HCURSOR Resources::cursor(const char* name, int dpi) {
    return static_cast<HCURSOR>(image(name, IMAGE_CURSOR, Dpi::toDevice(32, dpi)));
}
