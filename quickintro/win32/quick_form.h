#pragma once
// TQuickForm, the wizard's window: built from its layout, it owns every item,
// runs the handlers bound in the layout and paints its pages.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quickintro/display_scale.h"
#include "quickintro/form_layout.h"
#include "quickintro/win32/form_items.h"
#include "quickintro/navigation.h"
#include "quickintro/win32/registry_writer.h"

namespace quickintro {

constexpr const char* kApplicationTitle = "Quick Introduction";

// Reads the "TQUICKFORM" layout resource of a module; throws ELayoutError
// when it is missing or damaged.
TFormLayout LoadLayoutResource(HINSTANCE instance);

struct TQuickFormOptions {
  std::string CommandLine;              // the whole command line, program first
  TRegistryWriter* Registry = nullptr;  // null: HKEY_CURRENT_USER
  // Shows a failure to the user; null: a stop-icon message box titled with
  // the application title.
  std::function<void(const std::string& text)> ShowError;
  bool QuitOnDestroy = true;            // end the message loop when closed
  // Called after each page paint; the scripted test build times the first
  // paint and takes screenshots with it.
  std::function<void()> AfterPagePaint;
};

class TQuickForm {
 public:
  // Creates the window (hidden) and its items and runs FormCreate. Throws
  // ELayoutError for a layout that names unknown handlers or lacks items.
  TQuickForm(HINSTANCE instance, TFormLayout layout, TQuickFormOptions options);
  ~TQuickForm();
  TQuickForm(const TQuickForm&) = delete;
  TQuickForm& operator=(const TQuickForm&) = delete;

  // Shows the window with its numbered caption and the focus on NextBtn.
  void Show();
  // Null once the window is gone.
  HWND Handle() const { return hwnd_; }
  // The window that stands for the program on the taskbar, titled with the
  // application title; it owns the wizard's window.
  HWND TaskbarWindow() const { return taskbarWindow_.Get(); }
  // Lets the window's keys work (Tab, Enter, Escape, the arrow keys within
  // the clock choice); true when consumed.
  bool TranslateDialogMessage(MSG& message);

  // Handlers, bound by name in the layout.
  void FormCreate();
  void NotebookPageChanged();
  void NextBtnClick();
  void BackBtnClick();
  void CloseButtonClick();
  void TrayClockImgClick();
  void DesktopClockImgClick();
  void uiTrayClockClick();
  void FormClose();

  // What the window shows, for the program's hooks and for tests.
  const TWizardNavigation& Navigation() const { return navigation_; }
  // The dots per inch the window is laid out for.
  int Dpi() const { return dpi_; }
  // Where an item lies in its parent's client area, in pixels at that scale.
  RECT PixelRect(const TFormItem& item) const;
  // The font an item's text is drawn in at that scale.
  HFONT FontOf(const TFormItem& item);
  TFormItem* Find(std::string_view name);
  HWND PageWindow(int pageIndex) const;
  // The page whose drawn items include the named one, or -1.
  int PageHolding(std::string_view name) const;
  // A page's drawn items, bottom of the stacking order first.
  const std::vector<TFormItem*>& PageItems(int pageIndex) const;
  bool TrayClockChosen() const;
  // Paints a page into any device context at the origin.
  void PaintPage(HDC dc, int pageIndex);
  // Lays the window out for a new scale: the items' windows and fonts, and
  // the window itself to the given rectangle (as WM_DPICHANGED suggests it)
  // or, without one, to the size of the scale around the same centre.
  void ApplyDpi(int dpi, const RECT* windowRect = nullptr);

 private:
  struct TPage {
    TFormItem* Item = nullptr;
    std::vector<TFormItem*> Stacking;  // drawn items, bottom first
  };
  using Handler = void (TQuickForm::*)();

  static LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK TaskbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK NotebookProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleFormMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandlePageMessage(TPage& page, UINT message, WPARAM wParam, LPARAM lParam);

  void RegisterClasses();
  void CreateItems();
  void CheckBindings() const;
  void FindRequiredItems();
  void CreateTaskbarWindow();
  void CreateFormWindow();
  void CreateChildWindows(int parent);
  void CreatePageWindow(TFormItem& item, HWND parent);
  void CreateControl(TFormItem& item, HWND parent, DWORD groupStyle);
  void CreateTextWindow(TFormItem& item, HWND parent, DWORD groupStyle);
  RECT FormWindowRect(int dpi) const;
  void PlaceChildWindows();
  void SetWindowIcon();
  void DestroyOwnWindow();
  TFormItem& Require(std::string_view name);
  TPage* PageOfWindow(HWND window);
  TFormItem* ItemOfControlId(int id);

  void RunEvent(const TFormItem& item, std::string_view event);
  Handler FindHandler(std::string_view name) const;
  template <typename Action>
  void Guarded(Action&& action);
  void ReportError(const std::string& message);

  void ShowPage(int pageIndex);
  void KeepKeyboardFocus();
  void MoveMainBkgTo(int pageIndex);
  void SetItemVisible(TFormItem& item, bool visible);
  void SetRadioChecked(TFormItem& radio);
  void CheckFocusedRadio();
  void OnCommand(WPARAM wParam, LPARAM lParam);
  TFormItem* ItemAt(const TPage& page, POINT point) const;
  void OnPageMouse(TPage& page, UINT message, LPARAM lParam);
  bool OnSetCursor(TPage& page, HWND target);
  LRESULT OnControlColor(HDC dc, HWND control);
  LRESULT DefaultButtonId() const;
  void PaintForm(HDC dc);
  void PaintPageBuffered(HDC target, TPage& page, const RECT& area);
  void RepaintPage(const TPage& page, const RECT* layoutArea = nullptr);

  HINSTANCE instance_;
  const TFormLayout layout_;  // the items point into it
  TQuickFormOptions options_;
  std::unique_ptr<TRegistryWriter> ownRegistry_;
  std::vector<std::unique_ptr<TFormItem>> items_;  // items_[0] is the form
  std::vector<TPage> pages_;
  TFormItem* notebook_ = nullptr;
  TFormItem* backBtn_ = nullptr;
  TFormItem* nextBtn_ = nullptr;
  TFormItem* closeButton_ = nullptr;
  TFormItem* mainBkg_ = nullptr;
  TFormItem* trBevel_ = nullptr;
  TFormItem* dBevel_ = nullptr;
  TFormItem* uiTrayClock_ = nullptr;
  TFormItem* uiDesktopClock_ = nullptr;
  TFormItem* pressedItem_ = nullptr;  // a drawn item under a held mouse button
  UniqueWindow taskbarWindow_;  // made first, destroyed last
  HWND hwnd_ = nullptr;
  HWND savedFocus_ = nullptr;        // restored when the window is activated again
  TWizardNavigation navigation_;
  int dpi_ = kLayoutDpi;
  TFontCache fonts_;
  UniqueIcon icon_;
};

}  // namespace quickintro
