#include "dialogs/about.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QRegion>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <string>

#include "datalib/globals.h"
#include "platform/rt/command_line.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "scheduler/keystrokes.h"
#include "scheduler/window_utils.h"

namespace ov::dialogs {

namespace {

constexpr int kRects = 253;
constexpr int kLeft = 8, kTop = 3, kRight = 472, kBottom = 281;
constexpr const char* kBuild = "597";
constexpr const char* kBuildDate = "02/05/03";

// The outline: a small lamp at the top left over a wide rounded body that narrows to a foot at
// the bottom. The top and bottom rows are fixed; the body is one row per pixel line, with a few
// two-pixel rows, so that the table holds exactly 253 rectangles.
std::vector<RegionRect> outline() {
  std::vector<RegionRect> r = {{79, 3, 93, 4},   {68, 4, 105, 5},  {62, 5, 111, 6},  {58, 6, 116, 7},
                               {55, 7, 120, 8},  {53, 8, 124, 9},  {50, 9, 127, 10}, {183, 9, 248, 10}};
  const std::vector<RegionRect> foot = {
      {68, 276, 135, 277}, {72, 277, 132, 278}, {76, 278, 127, 279}, {82, 279, 122, 280}, {91, 280, 113, 281}};
  // Body rows y = 10 .. 275 (266 lines) in 240 rectangles: the first 26 rows span two lines.
  const int bodyRects = kRects - int(r.size()) - int(foot.size());
  const int doubled = (275 - 10 + 1) - bodyRects;
  int y = 10;
  for (int i = 0; i < bodyRects; ++i) {
    const int h = i < doubled ? 2 : 1;
    const double mid = y + h / 2.0;
    // An ellipse through the bounding box, its lower half drawn in towards the foot.
    const double t = (mid - 142.0) / 140.0;
    const double half = 232.0 * std::sqrt(std::max(0.0, 1.0 - t * t));
    const double centre = mid < 142 ? 240.0 : 240.0 - (240.0 - 102.0) * std::pow((mid - 142.0) / 134.0, 2);
    const double width = mid < 142 ? half : half * (1.0 - 0.7 * (mid - 142.0) / 134.0);
    int left = std::max(kLeft, int(std::lround(centre - width)));
    int right = std::min(kRight, int(std::lround(centre + width)));
    if (y < 40) left = std::min(left, 50);  // the lamp joins the body
    if (right <= left) right = left + 1;
    r.push_back({left, y, right, y + h});
    y += h;
  }
  r.insert(r.end(), foot.begin(), foot.end());
  return r;
}

void put32(uint8_t* p, int32_t v) {
  const auto u = uint32_t(v);
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(u >> (8 * i));
}

int32_t get32(const uint8_t* p) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= uint32_t(p[i]) << (8 * i);
  return int32_t(u);
}

std::array<uint8_t, kSplashRegionBytes> buildRegion() {
  std::array<uint8_t, kSplashRegionBytes> data{};
  const std::vector<RegionRect> rects = outline();
  put32(&data[0], 32);
  put32(&data[4], 1);
  put32(&data[8], int32_t(rects.size()));
  put32(&data[12], int32_t(rects.size() * 16));
  put32(&data[16], kLeft);
  put32(&data[20], kTop);
  put32(&data[24], kRight);
  put32(&data[28], kBottom);
  for (size_t i = 0; i < rects.size() && 32 + 16 * (i + 1) <= data.size(); ++i) {
    put32(&data[32 + 16 * i], rects[i].left);
    put32(&data[36 + 16 * i], rects[i].top);
    put32(&data[40 + 16 * i], rects[i].right);
    put32(&data[44 + 16 * i], rects[i].bottom);
  }
  return data;
}

// The product picture: "ovlogo.jpg" beside the program, else the layout's own.
std::string pictureFile(const std::string& layoutPicture) {
  const std::string logo = scheduler::ProgramFolder() + "ovlogo.jpg";
  return rt::EXISTS(logo) ? logo : layoutPicture;
}

// A picture control takes the size of the picture it shows (a missing file keeps the layout's).
void sizeToPicture(ui::Window& w, int control, const std::string& file) {
  const QPixmap picture(QString::fromStdString(file));
  if (picture.isNull()) return;
  w.setProp(control, ui::Prop::Width, int64_t(w.pxToDluX(picture.width())));
  w.setProp(control, ui::Prop::Height, int64_t(w.pxToDluY(picture.height())));
}

std::string versionLine() { return "Version " + files::VERSIONNUMBER.str(); }

// Places a control at a rectangle given in pixels of the window's client area.
void placeInPixels(ui::Window& w, int control, int x, int y, int width) {
  w.setProp(control, ui::Prop::Xpos, int64_t(w.pxToDluX(x)));
  w.setProp(control, ui::Prop::Ypos, int64_t(w.pxToDluY(y)));
  w.setProp(control, ui::Prop::Width, int64_t(w.pxToDluX(width)));
}

// The programs' own splash picture is drawn for the outline, whose table is in pixels: it keeps
// that size in pixels whatever the font, and the version line lies where the outline shows it.
constexpr int kSplashWidth = 480, kSplashHeight = 309;

class SplashWindow : public ui::WindowManager {
 public:
  SplashWindow() : ui::WindowManager("Splash"), m_region(splashRegionData()) {}

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle(files::PRODUCTNAME.str());
    w.at(-1, -1, 320, 190).hiddenAtOpen();
    const std::string picture = pictureFile("~splash.jpg");
    m_picture = w.image("?Image1", picture).at(0, 0, 320, 190).feq();
    m_version1 = w.string("?Version1", "Version Information Unavailable").at(143, 96, 110, 10).feq();
    m_version2 = w.string("?Version2", "Version Information Unavailable").at(40, 96, 110, 10).hidden().feq();
    w.timer(300);
    w.alert(ui::Key::MouseLeft);
    w.alert(ui::Key::MouseLeft2);
    w.alert(ui::Key::MouseRight);
    Open();
    const bool drawn = picture == "~splash.jpg";
    if (drawn) {
      w.setProp(m_picture, ui::Prop::Width, int64_t(w.pxToDluX(kSplashWidth)));
      w.setProp(m_picture, ui::Prop::Height, int64_t(w.pxToDluY(kSplashHeight)));
      placeInPixels(w, m_version1, 215, 158, 190);
    }
    sizeToPicture(w, m_picture, picture);
    w.setProp(m_version1, ui::Prop::Text, versionLine());
    w.setProp(m_version2, ui::Prop::Text, w.prop(m_version1, ui::Prop::Text));
    // A narrow logo leaves no room beside it: the version line moves under it. Our own picture
    // has its place for it, at any font.
    if (!drawn && w.propInt(m_picture, ui::Prop::Width) < 280) {
      w.setProp(m_version1, ui::Prop::Hide, 1);
      w.setProp(m_version2, ui::Prop::Hide, 0);
    }
    m_mouse.install(w, m_picture);
    applyRegion();
    w.setProp(0, ui::Prop::Hide, 0);
    return ui::Level::Benign;
  }

  ui::Level TakeEvent() override {
    const int event = ui::EVENT();
    if (event == ui::EVENT::Timer) return ui::Level::Fatal;
    if (event == scheduler::MouseEvent::LeftDown) {
      if (QWidget* v = window().view(); v && v->windowHandle()) (void)v->windowHandle()->startSystemMove();
      return ui::Level::Benign;
    }
    if (event == ui::EVENT::AlertKey) {
      const int key = ui::KEYCODE();
      if (key == ui::Key::MouseLeft || key == ui::Key::MouseLeft2 || key == ui::Key::MouseRight) return ui::Level::Fatal;
    }
    return ui::WindowManager::TakeEvent();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    m_mouse.remove();
    return ui::WindowManager::Kill();
  }

 private:
  // Only the pixels inside the outline show; a region that cannot be made leaves the window
  // rectangular.
  void applyRegion() {
    QWidget* v = window().view();
    if (!v) return;
    v->setWindowFlags(v->windowFlags() | Qt::FramelessWindowHint);  // still hidden: no flicker
    QRegion shape;
    for (const RegionRect& r : regionRects(m_region.data(), m_region.size()))
      shape += QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    if (!shape.isEmpty()) v->setMask(shape);
  }

  std::array<uint8_t, kSplashRegionBytes> m_region;  // this window's own copy
  scheduler::MouseButtonSubclassProc m_mouse;
  int m_picture = 0, m_version1 = 0, m_version2 = 0;
};

class AboutWindow : public ui::WindowManager {
 public:
  AboutWindow() : ui::WindowManager("About") {}

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("About " + files::PRODUCTNAME.str());
    w.at(-1, -1, 240, 160);
    const std::string picture = pictureFile("~about.jpg");
    m_picture = w.image("?Image1", picture).at(0, 0, 240, 160).feq();
    m_region = w.region("?ClickRegion").at(0, 0, 240, 120).feq();
    w.string("?ClickText", "Click here to continue...").at(8, 124, 120, 10);
    m_version = w.string("?Version", "").at(8, 136, 120, 10).feq();
    w.string("?BuildCaption", "Build").at(130, 124, 24, 10);
    m_build = w.string("?Build", "").at(156, 124, 30, 10).feq();
    m_buildDate = w.string("?BuildDate", "").at(190, 124, 44, 10).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(130, 140, 48, 14).feq();
    w.button("?Help", "&Help").at(184, 140, 48, 14).disabled();  // no help file on this system
    Open();
    w.setProp(m_version, ui::Prop::Text, versionLine());
    sizeToPicture(w, m_picture, picture);
    scheduler::FitRecord fit;
    scheduler::FitWindowToControl(w, fit, m_picture);
    w.setProp(m_build, ui::Prop::Text, kBuild);
    w.setProp(m_buildDate, ui::Prop::Text, kBuildDate);
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    if (ui::ACCEPTED() == m_region) return ui::Level::Fatal;
    return ui::WindowManager::TakeAccepted();
  }

 private:
  int m_picture = 0, m_region = 0, m_version = 0, m_build = 0, m_buildDate = 0;
};

}  // namespace

const std::array<uint8_t, kSplashRegionBytes>& splashRegionData() {
  static const std::array<uint8_t, kSplashRegionBytes> data = buildRegion();
  return data;
}

std::vector<RegionRect> regionRects(const uint8_t* data, size_t size) {
  if (size < 32 || get32(data) != 32 || get32(data + 4) != 1) return {};
  const int32_t count = get32(data + 8);
  if (count < 0 || get32(data + 12) != count * 16 || size < 32 + size_t(count) * 16) return {};
  std::vector<RegionRect> out;
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* p = data + 32 + 16 * i;
    out.push_back({get32(p), get32(p + 4), get32(p + 8), get32(p + 12)});
  }
  return out;
}

std::unique_ptr<ui::WindowManager> makeSplash() { return std::make_unique<SplashWindow>(); }
std::unique_ptr<ui::WindowManager> makeAbout() { return std::make_unique<AboutWindow>(); }

void About() {
  AboutWindow window;
  (void)window.Run();
}

int32_t colorDepthLevel(int32_t planes, int32_t bitsPerPixel, int32_t override) {
  if (override > 0) return override;
  const int64_t depth = int64_t(planes == 0 ? 1 : planes) * bitsPerPixel;
  return depth <= 4 ? 1 : depth <= 8 ? 2 : 3;
}

int32_t GetColorDepth() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int32_t planes = 1;
  const int32_t bits = screen ? screen->depth() : 24;
  const int32_t palette = bits <= 8 ? (1 << bits) : 0;
  const int32_t colorRes = bits <= 8 ? 18 : bits;
  const int32_t override = int32_t(rt::textToNumber(rt::GETINI("Makeover", "ColorDepth", "0")));
  const int32_t level = colorDepthLevel(planes, bits, override);
  if (!rt::COMMAND("/DebugMakeOver").empty())
    (void)ui::MESSAGE("M2.0 : 32 bit - Color Depth = " + std::to_string(level) + " planes = " + std::to_string(planes) +
                          " bits = " + std::to_string(bits) + " SizePallette = " + std::to_string(palette) +
                          " ColorRes = " + std::to_string(colorRes),
                      "Stop", ui::Icon::Hand);
  return level;
}

}  // namespace ov::dialogs
