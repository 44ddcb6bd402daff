#include "platform/win32ui/Win32Pictures.h"

#include "platform/win32/Win32Text.h"

#include <gdiplus.h>

#include <algorithm>
#include <cmath>

namespace velmora::win32 {

namespace gp = Gdiplus::DllExports;

namespace {

int scaled(int size, double scale) { return std::max(1, static_cast<int>(std::lround(size * scale))); }

bool isAbsolute(const std::string& name)
{
    return (name.size() >= 3 && name[1] == ':' && (name[2] == '\\' || name[2] == '/')) ||
           (name.size() >= 2 && name[0] == '\\' && name[1] == '\\');
}

} // namespace

Picture::Picture(void* gdiplusImage, int width, int height) : m_image(gdiplusImage), m_width(width), m_height(height) {}

Picture::~Picture()
{
    for (const Made& m : m_bitmaps) ::DeleteObject(m.bitmap);
    gp::GdipDisposeImage(static_cast<Gdiplus::GpImage*>(m_image));
}

void Picture::draw(HDC dc, int x, int y, double scale) const
{
    Gdiplus::GpGraphics* g = nullptr;
    if (gp::GdipCreateFromHDC(dc, &g) != Gdiplus::Ok) return;
    // Small pictures scaled by whole steps keep their pixels sharp.
    gp::GdipSetInterpolationMode(g, Gdiplus::InterpolationModeNearestNeighbor);
    gp::GdipSetPixelOffsetMode(g, Gdiplus::PixelOffsetModeHalf);
    gp::GdipDrawImageRectI(g, static_cast<Gdiplus::GpImage*>(m_image), x, y, scaled(m_width, scale),
                           scaled(m_height, scale));
    gp::GdipDeleteGraphics(g);
}

HBITMAP Picture::bitmap(COLORREF background, double scale) const
{
    for (const Made& m : m_bitmaps)
        if (m.background == background && m.scale == scale) return m.bitmap;
    const int w = scaled(m_width, scale), h = scaled(m_height, scale);
    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, w, h);
    HDC dc = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    if (!bitmap || !dc) {
        if (dc) ::DeleteDC(dc);
        if (bitmap) ::DeleteObject(bitmap);
        return nullptr;
    }
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    const RECT all{0, 0, w, h};
    HBRUSH brush = ::CreateSolidBrush(background);
    ::FillRect(dc, &all, brush);
    ::DeleteObject(brush);
    draw(dc, 0, 0, scale);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    m_bitmaps.push_back({background, scale, bitmap});
    return bitmap;
}

PictureStore::PictureStore(std::vector<std::string> folders) : m_folders(std::move(folders))
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) m_token = token;
}

PictureStore::~PictureStore()
{
    m_pictures.clear();
    if (m_token) Gdiplus::GdiplusShutdown(static_cast<ULONG_PTR>(m_token));
}

void PictureStore::setFolders(std::vector<std::string> folders)
{
    m_folders = std::move(folders);
    m_pictures.clear();
}

std::unique_ptr<Picture> PictureStore::load(const std::wstring& file) const
{
    const DWORD a = ::GetFileAttributesW(file.c_str());
    if (!m_token || a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
    Gdiplus::GpImage* image = nullptr;
    if (gp::GdipLoadImageFromFile(file.c_str(), &image) != Gdiplus::Ok || !image) return nullptr;
    UINT w = 0, h = 0;
    gp::GdipGetImageWidth(image, &w);
    gp::GdipGetImageHeight(image, &h);
    if (w == 0 || h == 0) {
        gp::GdipDisposeImage(image);
        return nullptr;
    }
    return std::make_unique<Picture>(image, static_cast<int>(w), static_cast<int>(h));
}

const Picture* PictureStore::find(const std::string& name)
{
    if (name.empty()) return nullptr;
    if (auto it = m_pictures.find(name); it != m_pictures.end()) return it->second.get();
    std::unique_ptr<Picture> picture;
    if (isAbsolute(name)) {
        picture = load(widen(name));
    } else {
        for (const std::string& folder : m_folders) {
            if (folder.empty()) continue;
            const char last = folder.back();
            picture = load(widen(folder + (last == '\\' || last == '/' ? "" : "\\") + name));
            if (picture) break;
        }
    }
    return (m_pictures[name] = std::move(picture)).get();
}

std::string PictureStore::programHelpFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    return narrow(path.substr(0, slash == std::wstring::npos ? 0 : slash + 1)) + "help";
}

} // namespace velmora::win32
