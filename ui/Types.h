#pragma once
// Plain value types shared by the dialog templates, the control model and whoever renders
// them: geometry, colours, fonts, image references and the closed sets of kinds.
#include <cstdint>
#include <optional>
#include <string>

namespace kaptiv::ui {

// The page draws one dialog unit as 1.5 px horizontally and 1.625 px vertically. Dialog
// positions inside their parent are given in client-area pixels, control rectangles in
// dialog units, as in the templates.
inline constexpr double kPixelsPerUnitX = 1.5;
inline constexpr double kPixelsPerUnitY = 1.625;

struct RectDu {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const RectDu&) const = default;
};

struct SizeDu {
    int width = 0;
    int height = 0;
    bool operator==(const SizeDu&) const = default;
};

struct PointPx {
    int x = 0;
    int y = 0;
    bool operator==(const PointPx&) const = default;
};

struct RectPx {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const RectPx&) const = default;
};

struct Color {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const Color&) const = default;
};

struct Font {
    std::string family;
    int heightPx = 0;
    bool bold = false;
    bool operator==(const Font&) const = default;
};

// Bitmaps and icons are separate numbering spaces, as resource ids are.
enum class ImageKind : uint8_t { None, Bitmap, Icon };

struct ImageRef {
    ImageKind kind = ImageKind::None;
    int id = 0;
    bool operator==(const ImageRef&) const = default;
    explicit operator bool() const { return kind != ImageKind::None; }
};

constexpr ImageRef Bitmap(int id) {
    return ImageRef{ImageKind::Bitmap, id};
}
constexpr ImageRef Icon(int id) {
    return ImageRef{ImageKind::Icon, id};
}

enum class ControlKind : uint8_t {
    StaticText,
    Picture, // a bitmap or an icon
    Button,  // push button; with an image it is an icon button
    CheckBox,
    Edit,
    ComboBox,
    ListBox,
    ListView,
    ProgressBar,
    Slider,
    UpDown,
    TimePicker, // HH:mm
    GroupBox,
    OwnerDrawn, // a list of filled or framed rectangles
    Plot,       // lines over time, drawn by the page's plotting library
};

const char* ToString(ControlKind kind);

// Child panels live inside their parent's client area; pop-ups float over it.
enum class DialogKind : uint8_t { Child, Popup };

enum class Align : uint8_t { Left, Center, Right };

enum class ListViewMode : uint8_t { Icon, Report };

// Template style flags of a control. Not a closed set: several combine.
namespace style {
inline constexpr uint32_t Hidden = 1u << 0;
inline constexpr uint32_t Disabled = 1u << 1;
inline constexpr uint32_t ReadOnly = 1u << 2;      // edit
inline constexpr uint32_t Password = 1u << 3;      // edit: shows '*'
inline constexpr uint32_t MultiLine = 1u << 4;     // edit
inline constexpr uint32_t AlignRight = 1u << 5;    // static text, edit
inline constexpr uint32_t AlignCenter = 1u << 6;   // static text, edit
inline constexpr uint32_t Border = 1u << 7;        // sunken frame
inline constexpr uint32_t IconMode = 1u << 8;      // list view: icons instead of report
inline constexpr uint32_t MultiSelect = 1u << 9;   // list view
inline constexpr uint32_t DropDownList = 1u << 10; // combo box without typing
inline constexpr uint32_t Ticks = 1u << 11;        // slider
inline constexpr uint32_t Vertical = 1u << 12;     // slider, progress bar
inline constexpr uint32_t DefaultButton = 1u << 13;
inline constexpr uint32_t NoCaret = 1u << 14;    // read-only display line
inline constexpr uint32_t EditLabels = 1u << 15; // list view cells edited in place
inline constexpr uint32_t NoHeader = 1u << 16;   // list view in report mode
inline constexpr uint32_t Sorted = 1u << 17;     // combo box, list box
inline constexpr uint32_t Notify = 1u << 18;     // static/picture: reports clicks
} // namespace style

} // namespace kaptiv::ui
