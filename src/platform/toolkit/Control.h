#pragma once
// The base of every control of the window model: plain state that the program reads and
// writes and that a front-end observes and draws.
#include <functional>
#include <string>
#include <string_view>

namespace velmora {

class Form;
struct ListChange;

enum class ControlKind {
    CommandButton,
    Label,
    TextBox,
    CheckBox,
    OptionButton,
    ComboBox,
    ListBox,
    Frame,
    PictureBox,
    Image,
    Timer,
    DriveListBox,
    DirListBox,
    FileListBox,
    Menu,
    MenuItem,
    Line,
    Shape
};

// The kind's short name, as the console prints it ("button", "files", ...).
const char* kindName(ControlKind kind);

// Geometry in twips (15 twips = 1 pixel at 96 dpi), relative to the container.
struct Geometry {
    int left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const Geometry&, const Geometry&) = default;
};

struct Font {
    std::string name = "MS Sans Serif";
    int size = 8;
    bool bold = false;
    bool underline = false;
    friend bool operator==(const Font&, const Font&) = default;
};

// Key codes as the program sees them.
namespace key {
inline constexpr int Return = 13;
inline constexpr int Escape = 27;
inline constexpr int Delete = 46;
} // namespace key

namespace mouse {
inline constexpr int Left = 1;
inline constexpr int Right = 2;
} // namespace mouse

class Control {
public:
    Control(Form& form, std::string name, ControlKind kind, Control* container = nullptr);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return m_name; }
    ControlKind kind() const { return m_kind; }
    Form& form() const { return m_form; }
    Control* container() const { return m_container; }

    bool enabled() const { return m_enabled; }
    void setEnabled(bool on);
    bool visible() const { return m_visible; }
    void setVisible(bool on);
    // Visible itself and inside visible containers.
    bool shown() const;
    // Enabled itself and inside enabled containers.
    bool usable() const;

    const Geometry& geometry() const { return m_geometry; }
    void setGeometry(const Geometry& g);
    int left() const { return m_geometry.left; }
    int top() const { return m_geometry.top; }
    int width() const { return m_geometry.width; }
    int height() const { return m_geometry.height; }
    void setLeft(int v);
    void setTop(int v);
    void setWidth(int v);
    void setHeight(int v);
    // Left and top in twips from the form's client origin.
    int absoluteLeft() const;
    int absoluteTop() const;

    const std::string& toolTip() const { return m_toolTip; }
    void setToolTip(std::string text);
    const Font& font() const { return m_font; }
    void setFont(const Font& f);

    void setFocus();

    // The text the console shows beside the name: caption or text, empty when none.
    virtual std::string displayText() const { return {}; }
    // A value the console shows as value=V, empty when the kind has none.
    virtual std::string displayValue() const { return {}; }

    // Handlers every kind may have; a window sets those it uses.
    std::function<void()> onClick;
    std::function<void()> onDblClick;
    std::function<void(int keyCode)> onKeyDown;
    std::function<void(int button, int x, int y)> onMouseUp;

    // The user's actions, as a front-end delivers them.
    virtual void click();
    virtual void dblClick();
    void keyDown(int keyCode);
    void mouseUp(int button, int x, int y);

protected:
    // Tells the front-end the state changed.
    void changed();
    // Tells the front-end that only `change` happened to the list.
    void changed(const ListChange& change);
    // Runs a handler at the event boundary.
    void fire(const std::function<void()>& handler);

private:
    Form& m_form;
    std::string m_name;
    ControlKind m_kind;
    Control* m_container;
    bool m_enabled = true;
    bool m_visible = true;
    Geometry m_geometry;
    std::string m_toolTip;
    Font m_font;
};

// Runs `handler`; an exception that escapes it ends that handler only.
void runHandler(Form& form, const std::function<void()>& handler);

} // namespace velmora
