#pragma once
// The program's GIF pictures (button icons, logos) decoded through GDI+ for the Win32 front-end
// (internal to it).
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velmora::win32 {

// One decoded picture. Drawn at its own size in 96-dpi pixels, scaled to the screen's.
class Picture {
public:
    Picture(void* gdiplusImage, int width, int height);
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }
    // Draws the picture with its top-left corner at (x, y), `scale` times its size;
    // transparent pixels leave what is there.
    void draw(HDC dc, int x, int y, double scale) const;
    // The picture over a plain background, as a bitmap a button can show. Owned by the picture
    // (made once per background and scale).
    HBITMAP bitmap(COLORREF background, double scale) const;

private:
    void* m_image; // GpImage*
    int m_width, m_height;
    struct Made {
        COLORREF background;
        double scale;
        HBITMAP bitmap;
    };
    mutable std::vector<Made> m_bitmaps;
};

// The picture files of the program's own folders, each decoded at its first use and kept; a
// missing file is looked for once. The folder being browsed is never searched.
class PictureStore {
public:
    // Starts GDI+; `folders` are searched in order (Windows paths, UTF-8).
    explicit PictureStore(std::vector<std::string> folders);
    ~PictureStore();
    PictureStore(const PictureStore&) = delete;
    PictureStore& operator=(const PictureStore&) = delete;

    // Forgets what was decoded and searches `folders` from now on.
    void setFolders(std::vector<std::string> folders);
    // The picture the program names ("logo.gif", or an absolute path); nullptr when there is
    // no such file or it cannot be decoded.
    const Picture* find(const std::string& name);

    // The "help" folder beside the running program.
    static std::string programHelpFolder();

private:
    std::unique_ptr<Picture> load(const std::wstring& file) const;

    unsigned long long m_token = 0; // GDI+'s, while it runs
    std::vector<std::string> m_folders;
    std::map<std::string, std::unique_ptr<Picture>> m_pictures; // nullptr: looked for, not there
};

} // namespace velmora::win32
