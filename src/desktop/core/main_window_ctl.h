#pragma once
// The logic of the main window: the current object, the kind last chosen, the one document window,
// and the switch between them.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/objects.h"
#include "desktop/core/mdi_child.h"

namespace zi::desktop {

// A document window as the main window holds it: the controller with whatever shows it.
class tDocWindow {
 public:
  virtual ~tDocWindow() = default;
  virtual tMdiChild& Child() = 0;
};

// What the main window's view does.
class tMainView {
 public:
  virtual ~tMainView() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  // Fits the window into the client area below the toolbar and shows it.
  virtual void PlaceDocWindow(tDocWindow& window) = 0;
  virtual void RepaintCurObj() = 0;
  // A replaced window goes; a view whose event handlers may still be running under it destroys
  // it once they have returned.
  virtual void DisposeDocWindow(std::unique_ptr<tDocWindow> window) { window.reset(); }
};

inline constexpr const char* kImportHintCaption = "ZorInput import";
inline constexpr const char* kImportHintText =
    "To import a file, locate it in your computer, make sure\n"
    "it's name has a .ZI extension and double click over it\n"
    "\n"
    "Para importar un archivo ub\xEDquelo en su computadora,\n"
    "verifique que el nombre del archivo tenga la\n"
    "extension .ZI y haga un doble click sobre \xE9l";
inline constexpr const char* kReqGBolQuestion = "Are you sure you want to generate a BGL bulletin ?";
inline constexpr const char* kReqGBolCaption = "ZorInput ReqGBol";
inline constexpr const char* kDryRunOpenCaption = "Dry Run";
inline constexpr const char* kDryRunOpenText =
    "A dry run is open in the import window: what the table editor wrote now would be rolled back "
    "with it. Let the dry run end, or cancel it, first.";
inline constexpr const char* kLogInCaption = "ZorInput";
inline constexpr const char* kLogInQuestion = "Log in now?";

// "ZorInput 20240410-1131", with " - " and the kind's title while a window is open.
std::string MainCaption(const tMdiChild* window);
// The text of the current-object box.
std::string CurObjText(const tObjHierEx& object);

class TWinMainCtl {
 public:
  struct THooks {
    std::function<bool(bool warn)> connected;
    // The chooser's modal result.
    std::function<int()> chooser;
    std::function<bool(const std::string& caption, const std::string& text)> askYesNo;
    std::function<int(const std::string& reason)> reqGBol;
    // The window of a kind, or none when this build has no window of that kind yet.
    std::function<std::unique_ptr<tDocWindow>(int kind)> createWindow;
    std::function<bool()> importAllowed;
    // "UsrGetData": the code, and the days until the password expires.
    std::function<int(int& daysToWarn)> usrGetData;
    // The company's rows of the object list: the code, kEmpNaoEncontrada (4174) when the company does
    // not exist.
    std::function<int(int companyId, std::vector<tObjHierEx>& rows)> companyRows;
    // The interactive login.
    std::function<void()> login;
    // The company picker: fills the copy of the current object from the chosen row; false when
    // cancelled. Without one, F2 does nothing.
    std::function<bool(tObjHierEx& copy)> pickObject;
    // The object tree changed: the company picker searches again when next shown.
    std::function<void()> objectTreeChanged;
    // The administrators' table editor (Ctrl+F10 in the chooser).
    std::function<void()> openTableEditor;
    std::function<bool()> isAdmin;
    // Whether the import window's dry run holds the connection: what is written meanwhile would be
    // rolled back with it.
    std::function<bool()> dryRunOpen;
  };

  TWinMainCtl(tMainView& view, THooks hooks);
  ~TWinMainCtl();

  // The main window's first activation: the layout, the login, the password warning.
  void FirstActivate();
  void LayOut();
  // F2 and a click on the current-object box.
  void PickObject();
  void ChooseWindow();
  bool SwitchTo(const tObjHierEx& object, int chooserCode);
  bool CloseDocWindow();
  // The end of the session closes the desktop without the document window's question: what it
  // holds unsaved is lost, and the log says so in one line that starts with why.
  void CloseDocWindowUnasked(const std::string& why);
  void ExecReqGBol();
  void PasswordWarning();
  // F2, F3, and any other key to the document window; true when handled.
  bool HandleKey(const TKeyMessage& message);
  // The object tree changed (posted by the company window): the picker searches again, and a
  // current company, class or series that was deleted is the current object no longer (the
  // company stays current when only its class or series went).
  void ObjectTreeChanged();
  // A company was added (posted by the company window).
  void CompanyAdded(int companyId);
  // Ctrl+F10 in the chooser: the table editor, for administrators only.
  void TableEditorKey();

  const tObjHierEx& CurObj() const { return curObj_; }
  int ChooserCode() const { return chooserCode_; }
  tMdiChild* DocWindow() const { return doc_ ? &doc_->Child() : nullptr; }
  tDocWindow* Doc() const { return doc_.get(); }

 private:
  std::unique_ptr<tDocWindow> CreateDocWindow(int kind);
  // "Not logged!", then the offer to log in; true once connected.
  bool EnsureConnected();

  tMainView& view_;
  THooks hooks_;
  tObjHierEx curObj_;
  int chooserCode_ = 0;
  std::unique_ptr<tDocWindow> doc_;
};

// The default hooks, over the session and the database.
int DbUsrGetData(int& daysToWarn);

}  // namespace zi::desktop
