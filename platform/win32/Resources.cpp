#include "platform/win32/Resources.h"

#include "platform/win32/Dpi.h"
#include "platform/win32/Fatal.h"
#include "platform/win32/Text.h"

#include <wincodec.h>

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
    HRSRC found = FindResourceW(nullptr, Text::wide(name).c_str(), RT_RCDATA);
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
        const std::wstring resource = Text::wide(name);
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
    return static_cast<HICON>(image(name, IMAGE_ICON, size));
}

// Its own 32 x 32 pixels at 96 dpi, whatever size the system's cursors have, enlarged with the
// scale as the windows are.
HCURSOR Resources::cursor(const char* name, int dpi) {
    return static_cast<HCURSOR>(image(name, IMAGE_CURSOR, Dpi::toDevice(32, dpi)));
}
