#pragma once
// The document windows of today's desktop: the import window (kind 7) over the import-window
// controller, and the log window (kind 6) over the server's data log.

#include <functional>
#include <string>
#include <vector>

#include "desktop/core/mdi_child_idle.h"
#include "import/imp_form.h"

namespace zi::desktop {

// Runs a check or an import in idle slices; remote imports upload the file.
class tImpWin : public tMdiChildIdle {
 public:
  tImpWin();
  const char* ClassName() const override { return "tImpForm"; }
  int MdiType() const override;

  tImpForm& Form() { return form_; }
  void Okay();
  void Cancel();
  // Called after the run stopped (idle end), for the view to re-enable its controls.
  void SetOnRunEnd(std::function<void()> onRunEnd) { onRunEnd_ = std::move(onRunEnd); }

 protected:
  void IdleStep() override;
  void IdleEnd() override;

 private:
  tImpForm form_;
  std::function<void()> onRunEnd_;
};

// The data log as the server delivers it, read again at every first paint.
class tLogForm : public tMdiChild {
 public:
  struct TTable {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
  };
  using TReader = std::function<int(TTable& table)>;

  explicit tLogForm(TReader reader = DataLogDump);
  const char* ClassName() const override { return "tLogForm"; }
  int MdiType() const override;

  const TTable& Table() const { return table_; }
  int LastCode() const { return lastCode_; }
  void SetOnReload(std::function<void()> onReload) { onReload_ = std::move(onReload); }

  // "DataLogDump", every value shown as text (NULL as empty).
  static int DataLogDump(TTable& table);

 protected:
  void OnFirstPaint() override;

 private:
  TReader reader_;
  TTable table_;
  int lastCode_ = 0;
  std::function<void()> onReload_;
};

}  // namespace zi::desktop
