#include "desktop/doc_views.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <utility>

#include "desktop/catalogue/object_window_view.h"
#include "desktop/catalogue/share_base_window_view.h"
#include "desktop/core/window_kinds.h"
#include "desktop/marketdata/corporate_action_view.h"
#include "desktop/marketdata/news_view.h"
#include "desktop/marketdata/quote_window_view.h"
#include "desktop/statements/statement_window_view.h"

namespace zi::desktop {

namespace {

// A slice of the import window's run, posted after the user's events.
const QEvent::Type kZiIdleEvent = static_cast<QEvent::Type>(QEvent::User + 1569);
constexpr int kLogNarrowPad = 10;
constexpr int kBrowsePad = 20;

// The local file a drag carries, or nothing.
QString DroppedFile(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().isEmpty() || !data->urls().front().isLocalFile()) return {};
  return data->urls().front().toLocalFile();
}

}  // namespace

bool KindBuilt(int kind) {
  return kind == kKindLog || kind == kKindImport || kind == kKindObjects || kind == kKindStatements ||
         kind == kKindQuotes || kind == kKindShareBase || kind == kKindCorporateActions || kind == kKindNews;
}

std::unique_ptr<tDocWindow> CreateDocWindowOfKind(int kind, QWidget* parent, QWidget* toolbar) {
  switch (kind) {
    case kKindLog: return std::make_unique<tLogView>(parent, toolbar);
    case kKindImport: return std::make_unique<tImpView>(parent, toolbar);
    case kKindObjects: return std::make_unique<tObjWinView>(parent, toolbar, FormsForObjectWindow(parent));
    case kKindStatements: return std::make_unique<tBalWinView>(parent, toolbar);
    case kKindQuotes: return std::make_unique<TCotWinView>(parent, toolbar);
    case kKindShareBase: return std::make_unique<tBacWinView>(parent, toolbar);
    case kKindCorporateActions: return std::make_unique<tPrvWinView>(parent, toolbar, CreatePrvForms(parent->window()));
    case kKindNews: return std::make_unique<tNwsWinView>(parent, toolbar, CreateNwsForms(parent->window()));
    default: return nullptr;
  }
}

tImpView::tImpView(QWidget* parent, QWidget* toolbar)
    : tDocWidget(std::make_unique<tImpWin>(), parent, toolbar),
      window_(static_cast<tImpWin*>(&Child())),
      file_(new QLineEdit(this)),
      browse_(new QPushButton(QString(QChar(0x2026)), this)),
      action_(new QComboBox(this)),
      encoding_(new QComboBox(this)),
      okay_(new QPushButton("Okay", this)),
      cancel_(new QPushButton("Cancel", this)),
      pane_(new QPlainTextEdit(this)) {
  setWindowTitle("Import");
  window_->SetIdleHost(this);
  window_->SetOnRunEnd([this] { Refresh(); });
  for (std::string_view action : tImpForm::kActions) action_->addItem(QString::fromUtf8(action.data(), action.size()));
  action_->setCurrentIndex(0);
  for (const auto& [name, encoding] : tImpForm::kEncodings)
    encoding_->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  encoding_->setCurrentIndex(window_->Form().EncodingIndex());
  pane_->setReadOnly(true);
  // A file dropped anywhere on the window names the file, the field included.
  setAcceptDrops(true);
  file_->setAcceptDrops(false);
  pane_->setAcceptDrops(false);
  browse_->setToolTip("Choose the file to import");
  browse_->setFixedWidth(browse_->fontMetrics().horizontalAdvance(browse_->text()) + kBrowsePad);
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(file_, 1);
  fileRow->addWidget(browse_);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Filename", this), 0, 0);
  grid->addLayout(fileRow, 0, 1);
  grid->addWidget(okay_, 0, 2);
  grid->addWidget(new QLabel("Action", this), 1, 0);
  grid->addWidget(action_, 1, 1);
  grid->addWidget(cancel_, 1, 2);
  grid->addWidget(new QLabel("Encoding", this), 2, 0);
  grid->addWidget(encoding_, 2, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(pane_, 1);
  connect(okay_, &QPushButton::clicked, this, [this] {
    CallGuarded("tImpForm.Okay", [this] {
      window_->Form().SetFileName(QFile::encodeName(file_->text()).toStdString());
      window_->Form().SetAction(action_->currentIndex());
      window_->Form().SetEncoding(encoding_->currentIndex());
      window_->Okay();
    });
    Refresh();
  });
  connect(browse_, &QPushButton::clicked, this, [this] { CallGuarded("tImpForm.Browse", [this] { Browse(); }); });
  connect(cancel_, &QPushButton::clicked, this, [this] {
    CallGuarded("tImpForm.Cancel", [this] { window_->Cancel(); });
    Refresh();
  });
  Refresh();
}

void tImpView::Browse() {
  QFileDialog dialog(this, "Import");
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (!file_->text().isEmpty()) dialog.setDirectory(QFileInfo(file_->text()).absolutePath());
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    file_->setText(dialog.selectedFiles().front());
}

void tImpView::dragEnterEvent(QDragEnterEvent* event) {
  if (file_->isEnabled() && !DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void tImpView::dropEvent(QDropEvent* event) {
  const QString file = DroppedFile(event->mimeData());
  if (!file_->isEnabled() || file.isEmpty()) return;
  file_->setText(file);
  event->acceptProposedAction();
}

void tImpView::PostIdle() { QCoreApplication::postEvent(this, new QEvent(kZiIdleEvent), Qt::LowEventPriority); }

uint64_t tImpView::TickMs() const {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

bool tImpView::event(QEvent* event) {
  if (event->type() != kZiIdleEvent) return tDocWidget::event(event);
  if (Retired()) return true;
  CallGuarded("tImpForm.wmZiIdle", [this] { window_->wmZiIdle(); });
  Refresh();
  return true;
}

void tImpView::Refresh() {
  const tImpForm& form = window_->Form();
  const bool running = form.RunActive() || window_->IsIdleRunning();
  file_->setEnabled(!running);
  browse_->setEnabled(!running);
  action_->setEnabled(!running);
  encoding_->setEnabled(!running);
  okay_->setEnabled(!running);
  cancel_->setEnabled(running);
  const std::vector<std::string>& lines = form.LogPane();
  if (lines.size() < shownLines_) {
    pane_->clear();
    shownLines_ = 0;
  }
  for (; shownLines_ < lines.size(); ++shownLines_) pane_->appendPlainText(ToQt(lines[shownLines_]));
}

tLogView::tLogView(QWidget* parent, QWidget* toolbar, tLogForm::TReader reader)
    : tDocWidget(std::make_unique<tLogForm>(std::move(reader)), parent, toolbar),
      window_(static_cast<tLogForm*>(&Child())),
      grid_(new QTableWidget(this)) {
  setWindowTitle("Log");
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setFrameShape(QFrame::NoFrame);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(grid_);
  window_->SetOnReload([this] { Fill(); });
  connect(grid_, &QTableWidget::cellDoubleClicked, this, [this] { window_->RearmFirstPaint(); });
  // The curtain covers the window until the grid has been filled at the first paint.
  SetCurtainVisible(true);
}

void tLogView::Fill() {
  const tLogForm::TTable& table = window_->Table();
  grid_->clear();
  grid_->setColumnCount(static_cast<int>(table.columns.size()));
  grid_->setRowCount(static_cast<int>(table.rows.size()));
  QStringList headers;
  for (const std::string& column : table.columns) headers << ToQt(column);
  grid_->setHorizontalHeaderLabels(headers);
  for (size_t r = 0; r < table.rows.size(); ++r)
    for (size_t c = 0; c < table.rows[r].size(); ++c)
      grid_->setItem(static_cast<int>(r), static_cast<int>(c), new QTableWidgetItem(ToQt(table.rows[r][c])));
  // Columns 0, 2 and 3 are narrow and column 4 a little wider, as the server of the original layout
  // delivered them; a value wider than that widens its column rather than being cut.
  grid_->resizeColumnsToContents();
  const int narrow = grid_->fontMetrics().horizontalAdvance("-999-");
  for (const auto& [column, width] : {std::pair{0, narrow}, {2, narrow}, {3, narrow}, {4, narrow + kLogNarrowPad}})
    if (column < grid_->columnCount()) grid_->setColumnWidth(column, std::max(width, grid_->columnWidth(column)));
}

}  // namespace zi::desktop
