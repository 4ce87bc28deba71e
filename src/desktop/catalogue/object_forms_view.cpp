#include "desktop/catalogue/object_forms_view.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "catalogue/naics.h"
#include "db/sql_errors.h"
#include "desktop/catalogue/indicator_history.h"
#include "desktop/forms.h"
#include "desktop/naics_picker_dialog.h"
#include "desktop/text_fields.h"
#include "session/session.h"

namespace zi::desktop {

namespace {

// Typing pauses longer than this start a new search in a pick.
constexpr int kPausaDeDigitacaoMs = 1000;
constexpr int kLimiteDoNumeroDoObjeto = 10;

void FillPick(QComboBox* combo, const TPickList& itens, int id) {
  const QSignalBlocker blocker(combo);
  combo->clear();
  for (const TPickItem& item : itens) combo->addItem(ToQt(item.text), item.id);
  FillIndex(combo, IndiceDoId(itens, id));
}

// The id of the selected entry, or what the entry held when none is selected.
int IdDe(const QComboBox* combo, int semSelecao) {
  return combo->currentIndex() < 0 ? semSelecao : combo->currentData().toInt();
}

// A small button ("...", "X") as wide as its caption.
QPushButton* NewSmallButton(QWidget* parent, const char* caption) {
  auto* button = new QPushButton(caption, parent);
  button->setAutoDefault(false);
  button->setFixedWidth(button->fontMetrics().horizontalAdvance(caption) + 16);
  return button;
}

QLineEdit* NewEdit(QWidget* parent, int limite, const std::string& texto) {
  auto* edit = new QLineEdit(parent);
  LimitText(edit, limite);
  FillText(edit, texto);
  return edit;
}

void FillCheck(QCheckBox* check, bool marcado) {
  const QSignalBlocker blocker(check);
  check->setChecked(marcado);
}

}  // namespace

// --- The indicator box -----------------------------------------------------------------------

TIndicatorBoxWidget::TIndicatorBoxWidget(QWidget* parent, TBoxDoForm& box, TIndicadoresDeEmpAtvAnb& set)
    : QScrollArea(parent), box_(box), set_(set) {
  setWidgetResizable(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TIndicatorBoxWidget::Monta() {
  campos_.clear();
  labels_.clear();
  historicos_.clear();
  // The box is laid out again from its own history buttons: the old rows go once the click is over.
  if (QWidget* old = takeWidget()) old->deleteLater();
  rows_ = new QWidget;
  auto* grid = new QGridLayout(rows_);
  int row = 0;
  for (const TLinhaDoBox& linha : box_.Box().Linhas()) {
    auto* label = new QLabel(ToQt(linha.label), rows_);
    labels_[linha.indicador] = label;
    grid->addWidget(label, row, 0);
    const auto campo = box_.Campos().find(linha.indicador);
    const TCampoDoBox valor = campo == box_.Campos().end() ? TCampoDoBox{} : campo->second;
    QWidget* field = nullptr;
    switch (linha.tipo) {
      case TTipoDeCampo::CamposFixos:
        grid->addWidget(new QLabel(ToQt(std::string(kVemDosCamposFixos)), rows_), row, 1);
        break;
      case TTipoDeCampo::Lista:
      case TTipoDeCampo::Moeda: {
        auto* combo = new QComboBox(rows_);
        FillPick(combo, linha.itens, valor.item);
        field = combo;
        break;
      }
      case TTipoDeCampo::Check: {
        auto* check = new QCheckBox(rows_);
        check->setTristate(true);
        check->setCheckState(valor.check == TCheck::Sim   ? Qt::Checked
                             : valor.check == TCheck::Nao ? Qt::Unchecked
                                                          : Qt::PartiallyChecked);
        field = check;
        break;
      }
      case TTipoDeCampo::Edit: field = NewEdit(rows_, linha.limite, valor.texto); break;
    }
    if (field) {
      field->setEnabled(valor.habilitado);
      grid->addWidget(field, row, 1);
      campos_[linha.indicador] = field;
      QPushButton* historico = NewSmallButton(rows_, "...");
      grid->addWidget(historico, row, 2);
      historicos_[linha.indicador] = historico;
      const int indicador = linha.indicador;
      connect(historico, &QPushButton::clicked, this, [this, indicador] {
        CallGuarded("TBoxInd.HistoricoClick", [this, indicador] { EditaHistorico(indicador); });
      });
    }
    ++row;
  }
  grid->setRowStretch(row, 1);
  setWidget(rows_);
  // Wide enough for its rows: only the height scrolls.
  setMinimumWidth(rows_->sizeHint().width() + verticalScrollBar()->sizeHint().width() + 2 * frameWidth());
}

void TIndicatorBoxWidget::Le() {
  for (const TLinhaDoBox& linha : box_.Box().Linhas()) {
    const auto campo = campos_.find(linha.indicador);
    if (campo == campos_.end()) continue;
    TCampoDoBox& valor = box_.Campos()[linha.indicador];
    valor.habilitado = campo->second->isEnabled();
    if (auto* combo = dynamic_cast<QComboBox*>(campo->second)) {
      valor.item = IdDe(combo, -1);
    } else if (auto* check = dynamic_cast<QCheckBox*>(campo->second)) {
      const Qt::CheckState estado = check->checkState();
      valor.check = estado == Qt::Checked ? TCheck::Sim : estado == Qt::Unchecked ? TCheck::Nao : TCheck::Cinza;
    } else if (auto* edit = dynamic_cast<QLineEdit*>(campo->second)) {
      valor.texto = TextOf(edit);
    }
  }
}

QWidget* TIndicatorBoxWidget::Campo(int indicador) const {
  const auto campo = campos_.find(indicador);
  return campo == campos_.end() ? nullptr : campo->second;
}

QPushButton* TIndicatorBoxWidget::Historico(int indicador) const {
  const auto historico = historicos_.find(indicador);
  return historico == historicos_.end() ? nullptr : historico->second;
}

void TIndicatorBoxWidget::EditaHistorico(int indicador) {
  Le();
  EditIndicatorHistory(this, set_.Nivel(), set_.Id(), indicador, set_.Entrada(indicador));
  box_.Recarrega(set_, indicador);
  Monta();
}

QLabel* TIndicatorBoxWidget::Label(int indicador) const {
  const auto label = labels_.find(indicador);
  return label == labels_.end() ? nullptr : label->second;
}

// --- The pick typed by containment -----------------------------------------------------------

TContainsPick::TContainsPick(QWidget* parent) : QComboBox(parent) {}

void TContainsPick::Fill(const TPickList& itens, int id) {
  itens_ = itens;
  FillPick(this, itens, id);
}

int TContainsPick::Id() const { return IdDe(this, 0); }

void TContainsPick::keyPressEvent(QKeyEvent* event) {
  const QString texto = event->text();
  const bool tecla = !texto.isEmpty() && texto.at(0).isPrint() && !(event->modifiers() & Qt::ControlModifier);
  if (!tecla && event->key() != Qt::Key_Backspace) {
    digitado_.clear();
    QComboBox::keyPressEvent(event);
    return;
  }
  if (!ultimaTecla_.isValid() || ultimaTecla_.elapsed() > kPausaDeDigitacaoMs) digitado_.clear();
  ultimaTecla_.start();
  if (event->key() == Qt::Key_Backspace) {
    digitado_.chop(1);
  } else {
    digitado_ += texto;
  }
  if (digitado_.isEmpty()) return;
  const int indice = UltimoQueContem(itens_, FromQt(digitado_));
  if (indice >= 0) setCurrentIndex(indice);
}

void TContainsPick::focusOutEvent(QFocusEvent* event) {
  digitado_.clear();
  QComboBox::focusOutEvent(event);
}

// --- What the forms share --------------------------------------------------------------------

TObjFormBase::TObjFormBase(QWidget* parent, const char* title, TBoxDoForm& box, TIndicadoresDeEmpAtvAnb& set)
    : QDialog(parent),
      fields_(new QFormLayout),
      box_(new TIndicatorBoxWidget(this, box, set)),
      okay_(new QPushButton("Okay", this)),
      cancel_(new QPushButton("Cancel", this)) {
  setWindowTitle(title);
  okay_->setDefault(true);
  okay_->setAutoDefault(true);
  cancel_->setAutoDefault(false);
  auto* left = new QVBoxLayout;
  left->addLayout(fields_);
  left->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okay_);
  buttons->addWidget(cancel_);
  left->addLayout(buttons);
  auto* all = new QHBoxLayout(this);
  all->addLayout(left, 1);
  all->addWidget(box_, 1);
  connect(okay_, &QPushButton::clicked, this, [this] { CallGuarded("TObjForm.OkClick", [this] { OkayClicked(); }); });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void TObjFormBase::RemontaBox(const std::function<int()>& monta) {
  box_->Le();
  monta();
  box_->Monta();
}

void TObjFormBase::OkayClicked() {
  box_->Le();
  const TOkay okay = Okay();
  if (okay.ok) {
    accept();
    return;
  }
  QWidget* foco = okay.foco == TCampo::Indicador ? box_->Campo(okay.indicador) : CampoDe(okay.foco);
  if (okay.code != 0) {
    db::ShowSqlErrorTxt(okay.foco == TCampo::Indicador ? "TBoxInd.Save" : FromQt(windowTitle()), okay.code);
  }
  if (foco) {
    foco->setVisible(true);
    foco->setFocus();
    if (okay.foco == TCampo::Indicador) box_->ensureWidgetVisible(foco);
  }
}

// --- Company ---------------------------------------------------------------------------------

TObjEmpForm::TObjEmpForm(QWidget* parent, tObjEmp& emp, TIndicadoresDeEmpAtvAnb& set)
    : TObjFormBase(parent, "Company Registration", model_.Box(), set), emp_(emp), set_(set) {
  model_.Preenche(emp, set);
  const TEmpEntries& e = model_.Entries();
  nome_ = NewEdit(this, CompanyFormModel::kLimiteNome, e.nome);
  nome_->setMinimumWidth(nome_->fontMetrics().averageCharWidth() * CompanyFormModel::kLimiteNome);
  fields_->addRow("Company Name", nome_);
  pais_ = new QComboBox(this);
  FillPick(pais_, model_.Paises(), e.pais);
  pais_->setEnabled(model_.PaisHabilitado());
  fields_->addRow("Country", pais_);
  cod_ = NewEdit(this, CompanyFormModel::kLimiteCod, e.cod);
  fields_->addRow("Company ID", cod_);
  cnpj_ = NewEdit(this, CompanyFormModel::kLimiteCnpj, e.cnpj);
  fields_->addRow("CNPJ", cnpj_);
  fields_->addRow(new QLabel("FS Currency", this));
  const TPickList moedas = model_.Moedas();
  for (const int source : model_.SourcesDeMoeda()) {
    auto* combo = new QComboBox(this);
    FillPick(combo, moedas, e.moedabal.at(static_cast<size_t>(source)));
    moedas_.at(static_cast<size_t>(source)) = combo;
    fields_->addRow(ToQt(CompanyFormModel::LabelDoSource(source)), combo);
  }
  moedaFidc_ = new QComboBox(this);
  FillPick(moedaFidc_, moedas, e.moedaInformeFIDC);
  fields_->addRow("- Informe FIDC", moedaFidc_);
  fields_->addRow(new QLabel("FS Format", this));
  const TPickList formatos = model_.Formatos();
  for (const int source : model_.SourcesDeFormato()) {
    auto* combo = new QComboBox(this);
    FillPick(combo, formatos, e.fmtbal.at(static_cast<size_t>(source)));
    formatos_.at(static_cast<size_t>(source)) = combo;
    fields_->addRow(ToQt(CompanyFormModel::LabelDoSource(source)), combo);
  }
  naics_ = new QLineEdit(this);
  naics_->setReadOnly(true);
  naicsPick_ = NewSmallButton(this, "...");
  naicsClear_ = NewSmallButton(this, "X");
  auto* naics = new QHBoxLayout;
  naics->addWidget(naics_, 1);
  naics->addWidget(naicsPick_);
  naics->addWidget(naicsClear_);
  fields_->addRow("NAICS", naics);
  ShowNaics();
  BoxWidget()->Monta();

  connect(pais_, &QComboBox::currentIndexChanged, this, [this] {
    CallGuarded("ObjEmpForm.PaisChange", [this] {
      RemontaBox([this] {
        model_.Entries().pais = IdDe(pais_, model_.Entries().pais);
        return model_.MudaPais(set_);
      });
    });
  });
  connect(naicsPick_, &QPushButton::clicked, this, [this] {
    CallGuarded("ObjEmpForm.NaicsClick", [this] {
      if (PickNaics(this, model_.Entries().naics)) ShowNaics();
    });
  });
  connect(naicsClear_, &QPushButton::clicked, this, [this] {
    model_.Entries().naics = 0;
    ShowNaics();
  });
}

void TObjEmpForm::ShowNaics() {
  const int codigo = model_.Entries().naics;
  FillText(naics_, codigo == 0 ? std::string() : NaicsTitulo(codigo, ZiGlobs().lingua));
}

TOkay TObjEmpForm::Okay() {
  TEmpEntries& e = model_.Entries();
  e.nome = TextOf(nome_);
  e.cod = TextOf(cod_);
  e.cnpj = TextOf(cnpj_);
  e.pais = IdDe(pais_, e.pais);
  for (size_t source = 0; source < moedas_.size(); ++source) {
    if (moedas_[source]) e.moedabal[source] = IdDe(moedas_[source], e.moedabal[source]);
  }
  e.moedaInformeFIDC = IdDe(moedaFidc_, e.moedaInformeFIDC);
  for (size_t source = 0; source < formatos_.size(); ++source) {
    if (formatos_[source]) e.fmtbal[source] = IdDe(formatos_[source], e.fmtbal[source]);
  }
  return model_.Okay(emp_, set_);
}

QWidget* TObjEmpForm::CampoDe(TCampo) { return nome_; }

// --- Class -----------------------------------------------------------------------------------

TObjAtvForm::TObjAtvForm(QWidget* parent, tObjAtv& atv, TIndicadoresDeEmpAtvAnb& set)
    : TObjFormBase(parent, "Class Registration", model_.Box(), set),
      atv_(atv),
      set_(set),
      classe_(new TContainsPick(this)),
      estrangeiras_(new QCheckBox("Show classes from other countries", this)),
      voto_(new QComboBox(this)),
      tipoObj_(new QComboBox(this)),
      empresaButton_(new QPushButton("Company", this)),
      empresa_(new QLineEdit(this)) {
  fields_->addRow("Class", classe_);
  fields_->addRow(estrangeiras_);
  fields_->addRow("Voting Status", voto_);
  fields_->addRow("Type of Asset", tipoObj_);
  empresaButton_->setAutoDefault(false);
  empresaButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  LimitText(empresa_, kLimiteDoNumeroDoObjeto);
  auto* empresa = new QHBoxLayout;
  empresa->addWidget(empresaButton_);
  empresa->addWidget(empresa_, 1);
  fields_->addRow(empresa);
  empresa_->setVisible(false);

  connect(estrangeiras_, &QCheckBox::toggled, this, [this](bool todas) {
    CallGuarded("ObjAtvForm.CheckClick", [this, todas] {
      const int indice = model_.MudaEstrangeira(todas, FromQt(classe_->currentText()));
      classe_->Fill(model_.Classes(), indice < 0 ? 0 : model_.Classes()[static_cast<size_t>(indice)].id);
    });
  });
  connect(tipoObj_, &QComboBox::currentIndexChanged, this, [this] {
    CallGuarded("ObjAtvForm.TipoChange", [this] {
      RemontaBox([this] {
        model_.Entries().tipoobj = IdDe(tipoObj_, model_.Entries().tipoobj);
        return model_.MudaTipoDeAtivo(set_);
      });
    });
  });
  connect(empresaButton_, &QPushButton::clicked, this, [this] {
    empresa_->setVisible(true);
    empresa_->setFocus();
  });
}

int TObjAtvForm::Preenche() {
  if (const int code = model_.Preenche(atv_, set_)) return code;
  const TAtvEntries& e = model_.Entries();
  classe_->Fill(model_.Classes(), e.idclass);
  FillCheck(estrangeiras_, e.estrangeira);
  estrangeiras_->setEnabled(model_.CheckHabilitado());
  estrangeiras_->setVisible(model_.CheckVisivel());
  FillPick(voto_, model_.Votos(), e.vote);
  FillPick(tipoObj_, model_.TiposDeAtivo(), e.tipoobj);
  FillText(empresa_, e.emp);
  empresaButton_->setVisible(model_.BotaoEmpresaVisivel());
  BoxWidget()->Monta();
  return 0;
}

int TObjAtvForm::Executa() {
  if (const int code = Preenche()) return code;
  return exec() == QDialog::Accepted ? 0 : kClasseCancelada;
}

TOkay TObjAtvForm::Okay() {
  TAtvEntries& e = model_.Entries();
  e.idclass = classe_->Id();
  e.vote = IdDe(voto_, e.vote);
  e.tipoobj = IdDe(tipoObj_, e.tipoobj);
  e.emp = TextOf(empresa_);
  const TOkay okay = model_.Okay(atv_, set_);
  FillText(empresa_, e.emp);
  return okay;
}

QWidget* TObjAtvForm::CampoDe(TCampo campo) {
  if (campo == TCampo::Empresa) return empresa_;
  return classe_;
}

// --- Series ----------------------------------------------------------------------------------

TObjAnbForm::TObjAnbForm(QWidget* parent, tObjAnb& anb, TIndicadoresDeEmpAtvAnb& set)
    : TObjFormBase(parent, "Serie Registration", model_.Box(), set), anb_(anb), set_(set) {
  model_.Preenche(anb, set);
  const TAnbEntries& e = model_.Entries();
  ticker_ = NewEdit(this, SeriesFormModel::kLimiteTicker, e.cod);
  fields_->addRow("Ticker", ticker_);
  bolsa_ = new QComboBox(this);
  FillPick(bolsa_, model_.Bolsas(), e.bolsa);
  fields_->addRow("Exchange", bolsa_);
  estado_ = new QComboBox(this);
  FillPick(estado_, model_.Estados(), e.estado);
  fields_->addRow("Active/Inactive", estado_);
  if (model_.ListaDeStatus()) {
    status_ = new QComboBox(this);
    FillPick(status_, model_.Status(), e.status);
    fields_->addRow("Status", status_);
  } else {
    statusCheck_ = new QCheckBox(ToQt(SeriesFormModel::LabelDoCheckDeStatus()), this);
    FillCheck(statusCheck_, e.statusMarcado);
    statusCheck_->setEnabled(model_.CheckDeStatusHabilitado());
    fields_->addRow(statusCheck_);
  }
  moeda_ = new QComboBox(this);
  FillPick(moeda_, model_.Moedas(), e.moedacot);
  fields_->addRow("Prices Currency", moeda_);
  trazDados_ = new QCheckBox("Include financial statements even if it is a foreign company", this);
  FillCheck(trazDados_, e.TrazDadosDaEmp);
  trazDados_->setVisible(model_.TrazDadosVisivel());
  trazDados_->setEnabled(model_.TrazDadosVisivel());
  fields_->addRow(trazDados_);
  naoZor_ = new QCheckBox("Hidden in Zor", this);
  FillCheck(naoZor_, e.NaoAparecerNoZor);
  fields_->addRow(naoZor_);
  naoOmbrel_ = new QCheckBox("Hidden in Ombrel", this);
  FillCheck(naoOmbrel_, e.NaoAparecerNoOmbrel);
  fields_->addRow(naoOmbrel_);
  disableCopy_ = new QCheckBox("Disable copy", this);
  FillCheck(disableCopy_, e.DisableCopy);
  fields_->addRow(disableCopy_);
  calendario_ = NewEdit(this, SeriesFormModel::kLimiteCalendario, e.calendario);
  calendario_->setEnabled(model_.CalendarioHabilitado());
  fields_->addRow("Calendar", calendario_);
  formato_ = NewEdit(this, SeriesFormModel::kLimiteNumero, e.formato);
  fields_->addRow("Registration template", formato_);
  contrato_ = new QComboBox(this);
  FillPick(contrato_, model_.Contratos(), e.contrato);
  fields_->addRow("Type of contract", contrato_);
  mapa_ = NewEdit(this, SeriesFormModel::kLimiteNumero, e.mapa);
  fields_->addRow("Faskel map", mapa_);
  override_ = NewEdit(this, SeriesFormModel::kLimiteNumero, e.override_);
  fields_->addRow("Quotes template", override_);
  classeButton_ = new QPushButton("Class", this);
  classeButton_->setAutoDefault(false);
  classeButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  classeButton_->setVisible(model_.BotaoClasseVisivel());
  classe_ = NewEdit(this, kLimiteDoNumeroDoObjeto, e.classe);
  classe_->setVisible(false);
  auto* classe = new QHBoxLayout;
  classe->addWidget(classeButton_);
  classe->addWidget(classe_, 1);
  fields_->addRow(classe);
  BoxWidget()->Monta();

  connect(formato_, &QLineEdit::textEdited, this, [this] {
    CallGuarded("ObjAnbForm.FormatoChange", [this] {
      RemontaBox([this] {
        model_.Entries().formato = TextOf(formato_);
        return model_.MudaFormato(set_);
      });
    });
  });
  connect(classeButton_, &QPushButton::clicked, this, [this] {
    classe_->setVisible(true);
    classe_->setFocus();
  });
}

void TObjAnbForm::MostraNumeros() {
  const TAnbEntries& e = model_.Entries();
  FillText(classe_, e.classe);
  FillText(calendario_, e.calendario);
  FillText(formato_, e.formato);
  FillText(mapa_, e.mapa);
  FillText(override_, e.override_);
}

TOkay TObjAnbForm::Okay() {
  TAnbEntries& e = model_.Entries();
  e.cod = TextOf(ticker_);
  e.bolsa = IdDe(bolsa_, e.bolsa);
  e.estado = IdDe(estado_, e.estado);
  if (status_) e.status = IdDe(status_, e.status);
  if (statusCheck_) e.statusMarcado = statusCheck_->isChecked();
  e.moedacot = IdDe(moeda_, e.moedacot);
  e.TrazDadosDaEmp = trazDados_->isChecked();
  e.NaoAparecerNoZor = naoZor_->isChecked();
  e.NaoAparecerNoOmbrel = naoOmbrel_->isChecked();
  e.DisableCopy = disableCopy_->isChecked();
  e.calendario = TextOf(calendario_);
  e.formato = TextOf(formato_);
  e.contrato = IdDe(contrato_, e.contrato);
  e.mapa = TextOf(mapa_);
  e.override_ = TextOf(override_);
  e.classe = TextOf(classe_);
  const TOkay okay = model_.Okay(anb_, set_);
  MostraNumeros();
  return okay;
}

QWidget* TObjAnbForm::CampoDe(TCampo campo) {
  switch (campo) {
    case TCampo::ClasseDaSerie: return classe_;
    case TCampo::Calendario: return calendario_;
    case TCampo::Formato: return formato_;
    case TCampo::MapaFaskel: return mapa_;
    case TCampo::Override: return override_;
    default: return ticker_;
  }
}

// --- The object window's port ----------------------------------------------------------------

namespace {

class TObjectFormsView : public tObjectForms {
 public:
  explicit TObjectFormsView(QWidget* parent) : parent_(parent) {}

  bool EditEmp(tObjEmp& emp, TIndicadoresDeEmpAtvAnb& indicadores) override {
    TObjEmpForm form(parent_, emp, indicadores);
    return form.exec() == QDialog::Accepted;
  }
  // A form that cannot be filled (4126 or the company's read) and a cancel (4127) end alike,
  // without a message.
  bool EditAtv(tObjAtv& atv, TIndicadoresDeEmpAtvAnb& indicadores) override {
    TObjAtvForm form(parent_, atv, indicadores);
    return form.Executa() == 0;
  }
  bool EditAnb(tObjAnb& anb, TIndicadoresDeEmpAtvAnb& indicadores) override {
    TObjAnbForm form(parent_, anb, indicadores);
    return form.exec() == QDialog::Accepted;
  }

 private:
  QWidget* parent_;
};

}  // namespace

std::unique_ptr<tObjectForms> CreateObjectForms(QWidget* parent) { return std::make_unique<TObjectFormsView>(parent); }

}  // namespace zi::desktop
