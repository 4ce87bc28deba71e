#pragma once
// The screenshot run (switch "screens"): drives the desktop through the road a user takes with the
// demo database — the login, the chooser, an import, the company picker, the company window and its
// forms with their pickers, the table editor, the log window, the price window with its range
// dialog and the statement window with its header dialog and popup — and saves a PNG of each.

#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

class QWidget;

namespace zi::desktop {

class TWinMain;

class tScreens {
 public:
  // importFile: the file imported in the import window.
  tScreens(TWinMain& main, QString folder, QString importFile);
  // Whether every step ran.
  bool Finished() const { return step_ == steps_.size(); }

 private:
  // Waits until ready holds, then acts; the action runs outside the timer's tick, since it may open
  // a modal dialog whose loop the next ticks run in.
  struct TStep {
    const char* name;
    std::function<bool()> ready;
    std::function<void()> act;
  };

  void Tick();
  void Save(QWidget* widget, const QString& name);
  void SaveScreen(QWidget& window, const QString& name);
  // Every step of the run, in order.
  std::vector<TStep> Road();
  std::vector<TStep> PriceSteps();
  std::vector<TStep> StatementSteps();

  TWinMain& main_;
  QString folder_;
  QString importFile_;
  QTimer timer_;
  std::vector<TStep> steps_;
  size_t step_ = 0;
  int ticks_ = 0;
  int boxes_ = 0;
};

}  // namespace zi::desktop
