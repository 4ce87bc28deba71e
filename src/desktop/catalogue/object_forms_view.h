#pragma once
// The company, class and series forms (TObjEmpForm, TObjAtvForm, TObjAnbForm), each with its
// indicator box at the right: thin views over the form models, and the object window's port to them.

#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QScrollArea>
#include <array>
#include <functional>
#include <map>
#include <memory>

#include "desktop/core/catalogue/object_form_models.h"
#include "desktop/core/catalogue/object_forms.h"

class QCheckBox;
class QFormLayout;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zi::desktop {

// The object window's forms, shown modal over parent.
std::unique_ptr<tObjectForms> CreateObjectForms(QWidget* parent);

// The indicator box: a label and a field per line of the box model.
class TIndicatorBoxWidget : public QScrollArea {
 public:
  TIndicatorBoxWidget(QWidget* parent, TBoxDoForm& box, TIndicadoresDeEmpAtvAnb& set);
  // Builds the rows from the model's lines and fields.
  void Monta();
  // The fields' contents into the model.
  void Le();
  QWidget* Campo(int indicador) const;
  QLabel* Label(int indicador) const;
  // The "..." button that opens the indicator's history.
  QPushButton* Historico(int indicador) const;

 private:
  void EditaHistorico(int indicador);

  TBoxDoForm& box_;
  TIndicadoresDeEmpAtvAnb& set_;
  QWidget* rows_ = nullptr;
  std::map<int, QWidget*> campos_;
  std::map<int, QLabel*> labels_;
  std::map<int, QPushButton*> historicos_;
};

// A pick where typing selects the last entry whose text contains what was typed.
class TContainsPick : public QComboBox {
 public:
  explicit TContainsPick(QWidget* parent);
  void Fill(const TPickList& itens, int id);
  // The id of the selected entry; 0 when none.
  int Id() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  TPickList itens_;
  QString digitado_;
  QElapsedTimer ultimaTecla_;
};

// What the three forms share: the fields at the left, the indicator box at the right, Okay and
// Cancel.
class TObjFormBase : public QDialog {
 public:
  QPushButton* OkayButton() const { return okay_; }
  QPushButton* CancelButton() const { return cancel_; }
  TIndicatorBoxWidget* BoxWidget() const { return box_; }

 protected:
  TObjFormBase(QWidget* parent, const char* title, TBoxDoForm& box, TIndicadoresDeEmpAtvAnb& set);
  // Reads the fields into the model and runs its Okay.
  virtual TOkay Okay() = 0;
  // The field to focus when Okay keeps the form open.
  virtual QWidget* CampoDe(TCampo campo) = 0;
  // The box laid out again after a field it depends on changed.
  void RemontaBox(const std::function<int()>& monta);

  QFormLayout* fields_;

 private:
  void OkayClicked();

  TIndicatorBoxWidget* box_;
  QPushButton* okay_;
  QPushButton* cancel_;
};

class TObjEmpForm : public TObjFormBase {
 public:
  TObjEmpForm(QWidget* parent, tObjEmp& emp, TIndicadoresDeEmpAtvAnb& set);

  QLineEdit* Nome() const { return nome_; }
  QComboBox* Pais() const { return pais_; }
  QLineEdit* Cod() const { return cod_; }
  QLineEdit* Cnpj() const { return cnpj_; }
  // nullptr for a source without a pick.
  QComboBox* Moeda(int source) const { return moedas_.at(static_cast<size_t>(source)); }
  QComboBox* MoedaFidc() const { return moedaFidc_; }
  QComboBox* Formato(int source) const { return formatos_.at(static_cast<size_t>(source)); }
  QLineEdit* Naics() const { return naics_; }
  QPushButton* NaicsPick() const { return naicsPick_; }
  QPushButton* NaicsClear() const { return naicsClear_; }

 protected:
  TOkay Okay() override;
  QWidget* CampoDe(TCampo campo) override;

 private:
  void ShowNaics();

  CompanyFormModel model_;
  tObjEmp& emp_;
  TIndicadoresDeEmpAtvAnb& set_;
  QLineEdit* nome_;
  QComboBox* pais_;
  QLineEdit* cod_;
  QLineEdit* cnpj_;
  std::array<QComboBox*, kSourcesDeBal> moedas_{};
  QComboBox* moedaFidc_;
  std::array<QComboBox*, kSourcesComFormato> formatos_{};
  QLineEdit* naics_;
  QPushButton* naicsPick_;
  QPushButton* naicsClear_;
};

class TObjAtvForm : public TObjFormBase {
 public:
  TObjAtvForm(QWidget* parent, tObjAtv& atv, TIndicadoresDeEmpAtvAnb& set);
  // Fills the form: 0, or the code that keeps it from being shown (a cancel).
  int Preenche();
  // Fills and shows the form, modal: 0 on Okay, the filling's code, or 4127 on Cancel.
  int Executa();

  TContainsPick* Classe() const { return classe_; }
  QCheckBox* Estrangeiras() const { return estrangeiras_; }
  QComboBox* Voto() const { return voto_; }
  QComboBox* TipoObj() const { return tipoObj_; }
  QPushButton* EmpresaButton() const { return empresaButton_; }
  QLineEdit* Empresa() const { return empresa_; }

 protected:
  TOkay Okay() override;
  QWidget* CampoDe(TCampo campo) override;

 private:
  ClassFormModel model_;
  tObjAtv& atv_;
  TIndicadoresDeEmpAtvAnb& set_;
  TContainsPick* classe_;
  QCheckBox* estrangeiras_;
  QComboBox* voto_;
  QComboBox* tipoObj_;
  QPushButton* empresaButton_;
  QLineEdit* empresa_;
};

class TObjAnbForm : public TObjFormBase {
 public:
  // Reads the series' class and company: a failure raises EZorInputException with its code.
  TObjAnbForm(QWidget* parent, tObjAnb& anb, TIndicadoresDeEmpAtvAnb& set);

  QLineEdit* Ticker() const { return ticker_; }
  QComboBox* Bolsa() const { return bolsa_; }
  QComboBox* Estado() const { return estado_; }
  // The status list, or the status check box: one of the two is shown.
  QComboBox* Status() const { return status_; }
  QCheckBox* StatusCheck() const { return statusCheck_; }
  QComboBox* Moeda() const { return moeda_; }
  QCheckBox* TrazDados() const { return trazDados_; }
  QCheckBox* NaoZor() const { return naoZor_; }
  QCheckBox* NaoOmbrel() const { return naoOmbrel_; }
  QCheckBox* DisableCopy() const { return disableCopy_; }
  QLineEdit* Calendario() const { return calendario_; }
  QLineEdit* Formato() const { return formato_; }
  QComboBox* Contrato() const { return contrato_; }
  QLineEdit* Mapa() const { return mapa_; }
  QLineEdit* Override() const { return override_; }
  QPushButton* ClasseButton() const { return classeButton_; }
  QLineEdit* Classe() const { return classe_; }

 protected:
  TOkay Okay() override;
  QWidget* CampoDe(TCampo campo) override;

 private:
  void MostraNumeros();

  SeriesFormModel model_;
  tObjAnb& anb_;
  TIndicadoresDeEmpAtvAnb& set_;
  QLineEdit* ticker_;
  QComboBox* bolsa_;
  QComboBox* estado_;
  QComboBox* status_ = nullptr;
  QCheckBox* statusCheck_ = nullptr;
  QComboBox* moeda_;
  QCheckBox* trazDados_;
  QCheckBox* naoZor_;
  QCheckBox* naoOmbrel_;
  QCheckBox* disableCopy_;
  QLineEdit* calendario_;
  QLineEdit* formato_;
  QComboBox* contrato_;
  QLineEdit* mapa_;
  QLineEdit* override_;
  QPushButton* classeButton_;
  QLineEdit* classe_;
};

}  // namespace zi::desktop
