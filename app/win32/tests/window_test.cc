// The window on the Win32 API (Wine's under Xvfb on the build machine),
// driven through its real controls: the layout and states at start, the
// integer input boxes, both lookups against a service on 127.0.0.1, the
// picture button and the fatal error box. Pictures of both pages are saved
// as BMP files in PI_WINDOW_PICTURES_DIR.
#include "app/win32/main_window.h"  // windows.h before commctrl.h

#include <commctrl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tests/canned_pages.h"
#include "app/tests/test_print.h"
#include "app/win32/fatal_box.h"
#include "app/win32/main_window.h"
#include "app/win32/wide_text.h"
#include "web/fetch_page.h"
#include "web/tests/winsock_server.h"

namespace pl {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using pl::testing::WinsockServer;

std::string Utf8Str(std::u8string_view s) { return std::string(reinterpret_cast<const char*>(s.data()), s.size()); }

// Handles the window's messages for a while, as its message loop would.
void Pump(int milliseconds = 150) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  } while (GetTickCount() < end);
}

// The service as it answers both requests.
std::string ServiceAnswer(const std::string& request) {
  Bytes page = pl::testing::PageWithoutMarkers();
  if (request.rfind("GET /getNextIndex.do?number=926 ", 0) == 0) page = pl::testing::PositionFoundPage();
  if (request.rfind("GET /getNextIndex.do?number=", 0) == 0 && request.find("=926 ") == std::string::npos) {
    page = pl::testing::PositionNotFoundPage();
  }
  if (request.rfind("GET /getNumber.do?index=", 0) == 0) page = pl::testing::DigitsFoundPage();
  return pl::testing::HttpAnswer("200 OK", {"Content-Type: text/html; charset=utf-8"}, std::string(page.view()));
}

struct Fixture {
  explicit Fixture(const std::string& base) {
    WindowServices s;
    s.fetch = [](const Text& url) { return FetchPage(url); };
    s.base_address = Text(base);
    s.open_address = [this](const Text& address) { opened.push_back(address); };
    s.profile_address = "https://pi-lookup.example.org/maker.html";
    window = std::make_unique<MainWindow>(std::move(s));
    window->ShowCentred();
    Pump();
  }
  HWND Of(const char* name) const { return window->Control(name); }
  Controls& c() { return window->controls(); }

  // Types the characters one by one into the named box, as the keyboard does.
  void Type(const char* box, std::wstring_view keys) {
    SetFocus(Of(box));
    for (wchar_t k : keys) SendMessageW(Of(box), WM_CHAR, k, 1);
  }
  void Click(const char* button) {
    SendMessageW(Of(button), BM_CLICK, 0, 0);
    Pump();
  }
  // A click on the tab of the page, as the mouse gives it.
  void ClickTab(int page) {
    HWND tab = Of("选择夹1");
    RECT r;
    SendMessageW(tab, TCM_GETITEMRECT, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(tab, WM_LBUTTONUP, 0, at);
    Pump();
  }
  std::wstring Shown(const char* box) const {
    wchar_t text[256] = {};
    GetWindowTextW(Of(box), text, 256);
    return text;
  }

  std::vector<Text> opened;
  std::unique_ptr<MainWindow> window;
};

// The window's pixels as the screen shows them, in client coordinates.
class ScreenPicture {
 public:
  explicit ScreenPicture(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    width_ = client.right;
    height_ = client.bottom;
    pixels_.resize(static_cast<std::size_t>(width_) * height_);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width_, height_);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width_, height_, screen, origin.x, origin.y, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader = Header();
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height_), pixels_.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
  }

  // 0xRRGGBB at (x, y) from the top left-hand corner.
  std::uint32_t At(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x] & 0xFFFFFF; }

  int CountIn(const RECT& r, std::uint32_t colour) const {
    int n = 0;
    for (int y = r.top; y < r.bottom && y < height_; ++y) {
      for (int x = r.left; x < r.right && x < width_; ++x) n += At(x, y) == colour ? 1 : 0;
    }
    return n;
  }

  bool SaveBmp(const std::string& path) const {
    BITMAPINFOHEADER header = Header();
    const DWORD image_bytes = static_cast<DWORD>(pixels_.size() * 4);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + image_bytes;
    // The screen has no alpha: every pixel is written opaque.
    std::vector<std::uint32_t> opaque = pixels_;
    for (std::uint32_t& p : opaque) p |= 0xFF000000u;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&header, sizeof header, 1, out);
    std::fwrite(opaque.data(), 1, image_bytes, out);
    return std::fclose(out) == 0;
  }

 private:
  BITMAPINFOHEADER Header() const {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width_;
    h.biHeight = -height_;  // top row first
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    return h;
  }

  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

void SavePicture(HWND window, const char* name) {
  const std::string path = std::string(PI_WINDOW_PICTURES_DIR) + "/" + name;
  CreateDirectoryA(PI_WINDOW_PICTURES_DIR, nullptr);
  EXPECT_TRUE(ScreenPicture(window).SaveBmp(path)) << path;
}

bool OnFirstPage(const ControlDefinition& d) { return d.parent == ControlParent::kFirstPage; }

TEST(Win32Window, StartsAsDefinedWithTheFirstPageCurrent) {
  Fixture f("http://127.0.0.1:1/");
  const WindowDefinition& def = MainWindowDefinition();
  HWND w = f.window->hwnd();

  // A fixed frame with a caption, a system menu and a minimise button only,
  // of the defined outer size, centred on the screen, with an empty title.
  const LONG style = GetWindowLongW(w, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  RECT outer;
  GetWindowRect(w, &outer);
  EXPECT_EQ(outer.right - outer.left, def.outer_width);
  EXPECT_EQ(outer.bottom - outer.top, def.outer_height);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - def.outer_width) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - def.outer_height) / 2);
  EXPECT_EQ(GetWindowTextLengthW(w), 0);

  // The tab control with its two pages, the first current.
  HWND tab = f.Of("选择夹1");
  ASSERT_NE(tab, nullptr);
  EXPECT_EQ(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0);
  const Text titles[] = {def.first_page_title, def.second_page_title};
  for (int page = 0; page < 2; ++page) {
    wchar_t title[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = title;
    item.cchTextMax = 64;
    SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(TextFromWide(title), titles[page]);
  }
  // The picture button lies above the tab control.
  bool tab_below = false;
  for (HWND h = GetWindow(f.Of("按钮3"), GW_HWNDNEXT); h; h = GetWindow(h, GW_HWNDNEXT)) tab_below |= h == tab;
  EXPECT_TRUE(tab_below);
  EXPECT_EQ(GetFocus(), f.Of("编辑框1"));

  // Every control stands where the definition puts it, with its text, and
  // shows on the first page exactly when it is visible at start there.
  for (const ControlDefinition& d : def.controls) {
    SCOPED_TRACE(Cp936ToUtf8(d.name));
    EXPECT_EQ(f.c().IsVisible(d.name), d.visible_at_start);
    EXPECT_EQ(f.c().ReadText(d.name), Text(d.text_at_start));
    HWND h = f.Of(d.name);
    if (d.kind == ControlKind::kLabel || d.kind == ControlKind::kTabControl) continue;
    ASSERT_NE(h, nullptr);
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, d.place.x);
    EXPECT_EQ(r.top, d.place.y);
    EXPECT_EQ(r.right - r.left, d.place.width);
    EXPECT_EQ(r.bottom - r.top, d.place.height);
    EXPECT_EQ(GetParent(h), d.parent == ControlParent::kWindow ? w : tab);
    const bool shown = d.visible_at_start && (d.parent == ControlParent::kWindow || OnFirstPage(d));
    EXPECT_EQ(IsWindowVisible(h) != FALSE, shown);
  }
  SavePicture(w, "win32-start-page1.bmp");

  // The second page: its controls show as defined, 编辑框4 never.
  f.ClickTab(1);
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 1);
  for (const ControlDefinition& d : def.controls) {
    HWND h = f.Of(d.name);
    if (!h || d.kind == ControlKind::kTabControl) continue;
    SCOPED_TRACE(Cp936ToUtf8(d.name));
    const bool shown = d.visible_at_start && d.parent != ControlParent::kFirstPage;
    EXPECT_EQ(IsWindowVisible(h) != FALSE, shown);
  }
  EXPECT_FALSE(IsWindowVisible(f.Of("编辑框4")));
  SavePicture(w, "win32-start-page2.bmp");
}

TEST(Win32Window, IntegerBoxesFilterTypingAndRewriteOnLeaving) {
  Fixture f("http://127.0.0.1:1/");
  f.Type("编辑框1", L"a.9x2,6");
  EXPECT_EQ(f.Shown("编辑框1"), L"926");
  f.Type("编辑框1", L"12345678");  // the eleventh character is refused
  EXPECT_EQ(f.Shown("编辑框1"), L"9261234567");
  f.Type("编辑框1", L"\b");  // control keys work as usual
  EXPECT_EQ(f.Shown("编辑框1"), L"926123456");

  struct Case {
    const char* box;
    const wchar_t* left;
    const wchar_t* becomes;
  };
  const Case cases[] = {
      {"编辑框1", L"0926", L"0926"},  // a string of digits keeps its leading zero
      {"编辑框1", L"12-3", L"12"},     {"编辑框1", L"-", L""},
      {"编辑框3", L"0926", L"926"},    {"编辑框3", L"9999999999", L"2147483647"},
      {"编辑框3", L"000", L""},        {"编辑框3", L"-999999999", L"-999999999"},
  };
  for (const Case& c : cases) {
    SetFocus(f.Of(c.box));
    SetWindowTextW(f.Of(c.box), c.left);
    SetFocus(f.Of("按钮3"));
    EXPECT_EQ(f.Shown(c.box), c.becomes) << Cp936ToUtf8(c.box);
  }
}

TEST(Win32Window, LookUpPositionAndDigitsThroughTheLocalService) {
  WinsockServer server(ServiceAnswer);
  Fixture f(server.base_address());
  HWND w = f.window->hwnd();

  f.Type("编辑框1", L"926");
  f.Click("按钮1");
  EXPECT_EQ(f.c().ReadText("透明标签6"), Text("5"));
  EXPECT_EQ(f.c().ReadText("透明标签8"), Text("1415"));
  EXPECT_EQ(f.c().ReadText("透明标签9"), Text("926"));
  EXPECT_EQ(f.c().ReadText("透明标签10"), Text("5358979323"));
  EXPECT_EQ(f.c().ReadText("透明标签15"), Text("0.012秒"));
  EXPECT_EQ(f.c().ReadText("透明标签3"), Text("在小数后"));
  for (const char* shown : {"透明标签3", "透明标签7", "透明标签14", "透明标签15"}) EXPECT_TRUE(f.c().IsVisible(shown));
  ASSERT_GE(server.requests().size(), 1u);
  EXPECT_THAT(server.requests()[0], StartsWith("GET /getNextIndex.do?number=926 HTTP/1.1\r\n"));
  // The page text is kept in 编辑框2, read back as the bytes written.
  EXPECT_EQ(f.c().ReadText("编辑框2"), Utf8ToCp936(pl::testing::PositionFoundPage()));

  // The red labels are drawn in red on the screen.
  Pump(300);
  const ScreenPicture found(w);
  EXPECT_GT(found.CountIn(f.window->PlaceOnWindow("透明标签6"), 0xFF0000), 0);
  EXPECT_GT(found.CountIn(f.window->PlaceOnWindow("透明标签9"), 0xFF0000), 0);
  EXPECT_EQ(found.CountIn(f.window->PlaceOnWindow("透明标签10"), 0xFF0000), 0);
  SavePicture(w, "win32-found-page1.bmp");

  // Digits that do not occur: the not-found state.
  SetWindowTextW(f.Of("编辑框1"), L"");
  f.Type("编辑框1", L"12");
  f.Click("按钮1");
  EXPECT_EQ(f.c().ReadText("透明标签3"), Text("没找到！"));
  EXPECT_FALSE(f.c().IsVisible("透明标签7"));
  EXPECT_EQ(f.c().ReadText("透明标签9"), Text());

  // The second page, with pasted text that the lookup reads rewritten.
  f.ClickTab(1);
  SetFocus(f.Of("编辑框3"));
  SendMessageW(f.Of("编辑框3"), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"05ab"));
  EXPECT_EQ(f.Shown("编辑框3"), L"05ab");  // pasted text is not filtered
  f.Click("按钮2");
  EXPECT_EQ(f.Shown("编辑框3"), L"5");
  EXPECT_THAT(server.requests().back(), StartsWith("GET /getNumber.do?index=5 HTTP/1.1\r\n"));
  EXPECT_EQ(f.c().ReadText("透明标签17"), Text("5"));
  EXPECT_EQ(f.c().ReadText("透明标签21"), Text("1415"));
  EXPECT_EQ(f.c().ReadText("透明标签19"), Text("9"));
  EXPECT_EQ(f.c().ReadText("透明标签20"), Text("2653589793"));
  EXPECT_EQ(f.c().ReadText("透明标签18"), Text("0.002秒"));
  EXPECT_EQ(f.c().ReadText("透明标签13"), Text("在小数点后"));
  EXPECT_FALSE(IsWindowVisible(f.Of("编辑框4")));
  Pump(300);
  const ScreenPicture digits(w);
  EXPECT_GT(digits.CountIn(f.window->PlaceOnWindow("透明标签19"), 0xFF0000), 0);
  // The first page's red labels are not drawn while the second is current.
  EXPECT_EQ(digits.CountIn(f.window->PlaceOnWindow("透明标签6"), 0xFF0000), 0);
  SavePicture(w, "win32-found-page2.bmp");

  // Switching back keeps what the first page showed.
  f.ClickTab(0);
  EXPECT_EQ(f.c().ReadText("透明标签3"), Text("没找到！"));
  EXPECT_EQ(f.Shown("编辑框1"), L"12");
}

TEST(Win32Window, NoServiceListeningIsNotANotFound) {
  Fixture f("http://127.0.0.1:" + std::to_string(WinsockServer::UnusedPort()) + "/");
  f.Type("编辑框1", L"926");
  f.Click("按钮1");
  EXPECT_EQ(f.c().ReadText("透明标签3"), Text("无法连接到服务器！"));
  EXPECT_TRUE(f.c().IsVisible("透明标签3"));
  EXPECT_FALSE(f.c().IsVisible("透明标签15"));
}

TEST(Win32Window, PictureButtonOpensTheProfileAndNothingElse) {
  Fixture f("http://127.0.0.1:1/");
  f.Click("按钮3");
  ASSERT_EQ(f.opened.size(), 1u);
  EXPECT_EQ(f.opened[0], Text("https://pi-lookup.example.org/maker.html"));
  EXPECT_EQ(f.c().ReadText("透明标签6"), Text());
  EXPECT_FALSE(f.c().IsVisible("透明标签3"));
}

// Reads the message box that the fatal error shows, reports its caption and
// text on standard error and presses OK.
DWORD WINAPI AnswerFatalBox(void*) {
  const std::wstring caption = WideFromText("错误");
  for (int tries = 0; tries < 500; ++tries) {
    HWND box = FindWindowW(L"#32770", caption.c_str());
    if (box) {
      wchar_t text[512] = {};
      GetDlgItemTextW(box, 0xFFFF, text, 512);  // the box's message
      // The error icon: a picture control of the box showing the system's one.
      HICON shown_icon = nullptr;
      EnumChildWindows(
          box,
          [](HWND child, LPARAM found) -> BOOL {
            auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
            if (icon) *reinterpret_cast<HICON*>(found) = icon;
            return icon ? FALSE : TRUE;
          },
          reinterpret_cast<LPARAM>(&shown_icon));
      const bool error_icon = shown_icon && shown_icon == LoadIconW(nullptr, MAKEINTRESOURCEW(32513));  // IDI_ERROR
      const std::string report = "[" + Cp936ToUtf8(TextFromWide(caption)) + (error_icon ? "|icon" : "") + "]" +
                                 Cp936ToUtf8(TextFromWide(text));
      std::fputs(report.c_str(), stderr);
      std::fflush(stderr);
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      return 0;
    }
    Sleep(20);
  }
  return 1;
}

TEST(Win32FatalBoxDeathTest, ShowsTheErrorInABoxAndEndsTheProcess) {
  EXPECT_EXIT(
      {
        InstallFatalBox();
        CloseHandle(CreateThread(nullptr, 0, &AnswerFatalBox, nullptr, 0, nullptr));
        FatalError(4, "数组成员引用下标必须大于等于1", 3, 7);
      },
      ::testing::ExitedWithCode(-1), HasSubstr(Utf8Str(u8"[错误|icon]运行时出错!")));
}

}  // namespace
}  // namespace pl
