#include "app/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "app/integer_box.h"
#include "app/win32/wide_text.h"

namespace pl {

namespace {

constexpr wchar_t kWindowClass[] = L"PiLookupMainWindow";
constexpr int kFirstControlId = 100;  // control n of the definition has id 100 + n
constexpr int kPictureResource = 1;   // the program's icon in pi_lookup.rc
constexpr UINT_PTR kTabSubclass = 1;
constexpr UINT_PTR kIntegerBoxSubclass = 2;

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

HFONT DefaultGuiFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

// A font of its own, by character height and weight, with no face name, the
// default character set and proof quality; null for the default GUI font.
HFONT MakeFont(const FontChoice& choice) {
  if (choice.is_default_gui_font()) return nullptr;
  return CreateFontW(-choice.pixel_size, 0, 0, 0, choice.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH | FF_DONTCARE, nullptr);
}

COLORREF ColorOf(std::uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

UINT AlignmentFlag(Alignment a) {
  switch (a) {
    case Alignment::kCenter:
      return DT_CENTER;
    case Alignment::kRight:
      return DT_RIGHT;
    case Alignment::kLeft:
      break;
  }
  return DT_LEFT;
}

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return text;
}

}  // namespace

void OpenInBrowser(const Text& address) {
  ShellExecuteA(nullptr, "open", address.CStrOrNull(), nullptr, nullptr, SW_SHOWNORMAL);
}

// The control operations over the window's controls. A label keeps the Text
// it was given. An edit box keeps the Text last written together with what it
// then showed, so that reading back an untouched box yields the same bytes
// even where the code page round trip would not.
class MainWindow::WindowControls final : public Controls {
 public:
  explicit WindowControls(MainWindow& window) : window_(window) {}

  Text ReadText(const Text& control) const override {
    const Item& item = window_.Find(control);
    if (!item.hwnd) return item.text;
    const std::wstring now = WindowText(item.hwnd);
    return now == item.shown ? item.text : TextFromWide(now);
  }

  void WriteText(const Text& control, const Text& text) override {
    Item& item = window_.Find(control);
    item.text = text;
    if (!item.hwnd) {
      window_.Invalidate(item);
      return;
    }
    SetWindowTextW(item.hwnd, WideFromText(text).c_str());
    item.shown = WindowText(item.hwnd);
  }

  void SetVisible(const Text& control, bool visible) override {
    Item& item = window_.Find(control);
    item.visible = visible;
    window_.ApplyVisibility(item);
  }

  bool IsVisible(const Text& control) const override { return window_.Find(control).visible; }

 private:
  MainWindow& window_;
};

MainWindow::MainWindow(WindowServices services)
    : services_(std::move(services)), controls_(std::make_unique<WindowControls>(*this)) {
  Build();
}

MainWindow::~MainWindow() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  for (Item& item : items_) {
    if (item.font) DeleteObject(item.font);
  }
  if (picture_) DestroyIcon(picture_);
}

Controls& MainWindow::controls() { return *controls_; }

void MainWindow::Build() {
  INITCOMMONCONTROLSEX common{sizeof common, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&common);

  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &MainWindow::WindowProc;
    wc.hInstance = Instance();
    wc.hIcon = static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(kPictureResource), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
    wc.hIconSm = static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(kPictureResource), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                               LR_SHARED));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0;
  }();
  if (!registered) {
    std::fprintf(stderr, "the main window's class could not be registered\n");
    std::abort();
  }

  const WindowDefinition& def = MainWindowDefinition();
  // The items first, so that their addresses stay fixed for the subclasses.
  items_.reserve(def.controls.size());
  for (const ControlDefinition& c : def.controls) {
    Item item;
    item.definition = &c;
    item.visible = c.visible_at_start;
    item.text = c.text_at_start;
    by_name_[c.name] = items_.size();
    items_.push_back(std::move(item));
  }

  // A fixed frame with a caption, a system menu and a minimise button.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, WideFromText(def.title).c_str(), style, CW_USEDEFAULT,
                          CW_USEDEFAULT, def.outer_width, def.outer_height, nullptr, nullptr, Instance(), this);
  if (!hwnd_) {
    std::fprintf(stderr, "the main window could not be created\n");
    std::abort();
  }
  picture_ = static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(kPictureResource), IMAGE_ICON, 48, 48, 0));

  for (std::size_t i = 0; i < items_.size(); ++i) MakeControl(items_[i], kFirstControlId + static_cast<int>(i));
  // Controls on the window lie above the tab control (the picture button
  // over its top right-hand corner).
  for (Item& item : items_) {
    if (item.hwnd && item.hwnd != tab_ && item.definition->parent == ControlParent::kWindow) {
      SetWindowPos(item.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  for (Item& item : items_) ApplyVisibility(item);
}

HWND MainWindow::MakeControl(Item& item, int id) {
  const ControlDefinition& c = *item.definition;
  HWND parent = c.parent == ControlParent::kWindow ? hwnd_ : tab_;
  const Rect& p = c.place;
  HMENU menu_id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
  item.font = MakeFont(c.font);
  HFONT font = item.font ? item.font : DefaultGuiFont();

  switch (c.kind) {
    case ControlKind::kLabel:
      return nullptr;  // drawn by its parent

    case ControlKind::kTabControl: {
      tab_ = CreateWindowExW(WS_EX_CONTROLPARENT, WC_TABCONTROLW, L"",
                             WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP, p.x, p.y, p.width, p.height,
                             hwnd_, menu_id, Instance(), nullptr);
      SendMessageW(tab_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      const WindowDefinition& def = MainWindowDefinition();
      const Text titles[] = {def.first_page_title, def.second_page_title};
      for (int page = 0; page < 2; ++page) {
        std::wstring title = WideFromText(titles[page]);
        TCITEMW tab_item{};
        tab_item.mask = TCIF_TEXT;
        tab_item.pszText = title.data();
        SendMessageW(tab_, TCM_INSERTITEMW, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&tab_item));
      }
      SetWindowSubclass(tab_, &MainWindow::TabProc, kTabSubclass, reinterpret_cast<DWORD_PTR>(this));
      item.hwnd = tab_;
      return tab_;
    }

    case ControlKind::kButton: {
      DWORD style = WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON;
      if (c.picture != Picture::kNone) style |= BS_ICON;
      item.hwnd = CreateWindowExW(0, L"BUTTON", WideFromText(c.text_at_start).c_str(), style, p.x, p.y, p.width,
                                  p.height, parent, menu_id, Instance(), nullptr);
      SendMessageW(item.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      if (c.picture != Picture::kNone && picture_) {
        SendMessageW(item.hwnd, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(picture_));
      }
      break;
    }

    case ControlKind::kEditBox: {
      DWORD style = WS_CHILD | WS_TABSTOP | ES_LEFT;
      if (c.edit_style == EditStyle::kMultiLine) {
        style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
      } else {
        style |= ES_AUTOHSCROLL;
      }
      item.hwnd = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", WideFromText(c.text_at_start).c_str(), style, p.x, p.y,
                                  p.width, p.height, parent, menu_id, Instance(), nullptr);
      SendMessageW(item.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      const bool integer_box = c.edit_style == EditStyle::kDigitString || c.edit_style == EditStyle::kIntegerNumber;
      // 0 lifts the limit to the largest the control holds.
      SendMessageW(item.hwnd, EM_SETLIMITTEXT, integer_box ? kIntegerBoxMaxLength : 0, 0);
      if (integer_box) {
        SetWindowSubclass(item.hwnd, &MainWindow::IntegerBoxProc, kIntegerBoxSubclass,
                          reinterpret_cast<DWORD_PTR>(&item));
      }
      item.shown = WindowText(item.hwnd);
      break;
    }
  }
  return item.hwnd;
}

MainWindow::Item& MainWindow::Find(const Text& name) {
  return const_cast<Item&>(static_cast<const MainWindow&>(*this).Find(name));
}

const MainWindow::Item& MainWindow::Find(const Text& name) const {
  const auto it = by_name_.find(name.str());
  if (it == by_name_.end()) {
    std::fprintf(stderr, "no control named %s in the window definition\n", Cp936ToUtf8(name).c_str());
    std::abort();
  }
  return items_[it->second];
}

HWND MainWindow::Control(const Text& name) const {
  const auto it = by_name_.find(name.str());
  return it == by_name_.end() ? nullptr : items_[it->second].hwnd;
}

RECT MainWindow::PlaceOnWindow(const Text& name) const {
  const Item& item = Find(name);
  const Rect& p = item.definition->place;
  RECT r{p.x, p.y, p.x + p.width, p.y + p.height};
  if (item.definition->parent != ControlParent::kWindow) MapWindowPoints(tab_, hwnd_, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int MainWindow::CurrentPage() const { return static_cast<int>(SendMessageW(tab_, TCM_GETCURSEL, 0, 0)); }

void MainWindow::SelectPage(int page) {
  SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
  for (Item& item : items_) ApplyVisibility(item);
}

void MainWindow::ApplyVisibility(Item& item) {
  const ControlParent parent = item.definition->parent;
  const bool page_shown = parent == ControlParent::kWindow ||
                          (parent == ControlParent::kFirstPage ? 0 : 1) == CurrentPage();
  if (item.hwnd) {
    ShowWindow(item.hwnd, item.visible && page_shown ? SW_SHOWNA : SW_HIDE);
  } else {
    Invalidate(item);
  }
}

void MainWindow::Invalidate(const Item& item) {
  // A label is not clipped to its box: its whole parent is drawn again.
  InvalidateRect(item.definition->parent == ControlParent::kWindow ? hwnd_ : tab_, nullptr, FALSE);
}

void MainWindow::ShowCentred() {
  const WindowDefinition& def = MainWindowDefinition();
  const Point at =
      CentredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), def.outer_width, def.outer_height);
  SetWindowPos(hwnd_, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SelectPage(0);
  ShowWindow(tab_, SW_SHOW);
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  for (const Item& item : items_) {
    if (item.definition->focus_at_start && item.hwnd) SetFocus(item.hwnd);
  }
}

void MainWindow::PaintLabels(HDC dc, ControlParent parent) {
  if (parent != ControlParent::kWindow && (parent == ControlParent::kFirstPage ? 0 : 1) != CurrentPage()) return;
  const int saved = SaveDC(dc);
  SetBkMode(dc, TRANSPARENT);
  for (const Item& item : items_) {
    const ControlDefinition& c = *item.definition;
    if (c.kind != ControlKind::kLabel || c.parent != parent || !item.visible || item.text.empty()) continue;
    SelectObject(dc, item.font ? item.font : DefaultGuiFont());
    SetTextColor(dc, ColorOf(c.color));
    RECT box{c.place.x, c.place.y, c.place.x + c.place.width, c.place.y + c.place.height};
    UINT flags = DT_NOCLIP | DT_NOPREFIX | AlignmentFlag(c.alignment);
    flags |= c.word_wrap ? (DT_WORDBREAK | DT_TOP) : (DT_SINGLELINE | DT_VCENTER);
    const std::wstring shown = WideFromText(item.text);
    DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &box, flags);
  }
  RestoreDC(dc, saved);
}

void MainWindow::Click(int id) {
  const int index = id - kFirstControlId;
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  const ControlDefinition& c = *items_[static_cast<std::size_t>(index)].definition;
  if (c.kind != ControlKind::kButton) return;
  switch (c.action) {
    case ButtonAction::kLookUpPosition:
      LookUpPosition(*controls_, services_.fetch, services_.base_address);
      break;
    case ButtonAction::kLookUpDigits:
      LookUpDigits(*controls_, services_.fetch, services_.base_address);
      break;
    case ButtonAction::kOpenProfile:
      if (services_.open_address) services_.open_address(services_.profile_address);
      break;
    case ButtonAction::kNone:
      break;
  }
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* self = static_cast<MainWindow*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  return self->Handle(message, wparam, lparam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && lparam != 0) Click(LOWORD(wparam));
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->hwndFrom == tab_ && header->code == TCN_SELCHANGE) {
        for (Item& item : items_) ApplyVisibility(item);
      }
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      PaintLabels(dc, ControlParent::kWindow);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_DESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

// The tab control draws itself into a picture of its client area, the labels
// of the current page go over it, and the picture is copied to the screen in
// one piece. The buttons' clicks go on to the main window.
LRESULT CALLBACK MainWindow::TabProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                     DWORD_PTR data) {
  auto* self = reinterpret_cast<MainWindow*>(data);
  switch (message) {
    case WM_COMMAND:
      return SendMessageW(self->hwnd_, message, wparam, lparam);
    case WM_ERASEBKGND:
      return 1;  // the whole client area is drawn in WM_PAINT
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT client;
      GetClientRect(hwnd, &client);
      HDC picture = CreateCompatibleDC(dc);
      HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
      HGDIOBJ old_bitmap = SelectObject(picture, bitmap);
      FillRect(picture, &client, GetSysColorBrush(COLOR_BTNFACE));
      DefSubclassProc(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(picture), PRF_CLIENT);
      self->PaintLabels(picture, self->CurrentPage() == 0 ? ControlParent::kFirstPage : ControlParent::kSecondPage);
      BitBlt(dc, 0, 0, client.right, client.bottom, picture, 0, 0, SRCCOPY);
      SelectObject(picture, old_bitmap);
      DeleteObject(bitmap);
      DeleteDC(picture);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, &MainWindow::TabProc, kTabSubclass);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

// The integer input boxes: a typed printable character other than a digit or
// "-" is refused (control keys and pasting pass), and when the focus leaves,
// the text is rewritten by the box's rule if that changes it, the caret then
// standing where the old selection began.
LRESULT CALLBACK MainWindow::IntegerBoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                            DWORD_PTR data) {
  const Item& item = *reinterpret_cast<const Item*>(data);
  switch (message) {
    case WM_CHAR: {
      const auto c = static_cast<wchar_t>(wparam);
      const bool printable = c >= 0x20 && c != 0x7F;
      if (printable && !AcceptsTypedCharacter(static_cast<char32_t>(c))) return 0;
      break;
    }
    case WM_KILLFOCUS: {
      const std::wstring now = WindowText(hwnd);
      const Text before = TextFromWide(now);
      const Text after = RewriteOnLeave(item.definition->edit_style, before);
      if (after != before) {
        DWORD selection_start = 0;
        SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&selection_start), 0);
        SetWindowTextW(hwnd, WideFromText(after).c_str());
        SendMessageW(hwnd, EM_SETSEL, selection_start, selection_start);
      }
      break;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, &MainWindow::IntegerBoxProc, kIntegerBoxSubclass);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

int RunMessageLoop(MainWindow& window) {
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // Tab and the arrow keys move the focus between the controls.
    if (IsDialogMessageW(window.hwnd(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace pl
