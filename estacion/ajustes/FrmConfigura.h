#pragma once

#include <QDialog>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include "estacion/ajustes/AjustesCaptura.h"
#include "resguardo/Bitacora.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

// The settings dialog: shows the serial line (or the exchange on the
// network), the file to generate and the idle time-out, the minutes within
// which a charge goes by itself, the exchange's date order and the silence
// alarm from the settings file and writes them back.
// Every opening
// starts again from the file; every close saves what the controls hold,
// except an exchange to listen for with no address let in: that is never
// written (Grabar says so and keeps the dialog open). A save that fails is
// told in a box and in the system log, and the dialog stays open with what
// it holds; a Cancelar after that closes it unsaved.
class FrmConfigura : public QDialog {
  Q_OBJECT

 public:
  // `archivo`: the settings file it reads when it opens and writes when it closes.
  explicit FrmConfigura(std::string archivo, QWidget* parent = nullptr);

  // Every close comes through here (Grabar, Cancelar, Esc, the close box).
  void done(int resultado) override;

  // Where a failed save is logged (the system log unless set).
  void SumideroBitacora(Bitacora::Sumidero sumidero) { sumidero_ = std::move(sumidero); }
  // The last save's failure, if it failed.
  const std::optional<captura::Fallo>& FalloGuardado() const { return fallo_; }

 protected:
  void showEvent(QShowEvent* evento) override;

 private:
  void cmdOK_Click();
  void cmdCancel_Click();
  void Form_Load();
  void CargarConfiguracion();
  // False when the save failed.
  bool Form_QueryUnload();
  void AvisarNoGuardado();

  void GuardarConfiguracion();
  void GuardarCentral();
  bool ServidorSinPermitida() const;
  void Escribir(std::string AjustesCaptura::*valor, const std::string& texto);
  template <typename Control>
  void GuardarOpcional(std::string AjustesCaptura::*valor, const Control* control);
  void CrearControles();
  void ApartarCajas(const std::vector<std::pair<QLabel*, QWidget*>>& pares);
  void AlargarFilas();

  // Values cross between the file's bytes and the controls' text. A value
  // left as loaded goes back with its own bytes, even when they are not
  // UTF-8 (a file written on Windows).
  void PonerTexto(QComboBox* control, const std::string& valor);
  void PonerTexto(QLineEdit* control, const std::string& valor);
  std::string TextoDe(const QComboBox* control) const;
  std::string TextoDe(const QLineEdit* control) const;
  std::string Bytes(const QWidget* control, const QString& texto) const;

  QLabel* Label1 = nullptr;
  QComboBox* Combo1 = nullptr;
  QLabel* Label3 = nullptr;
  QComboBox* Combo2 = nullptr;
  QLabel* Label4 = nullptr;
  QComboBox* Combo3 = nullptr;
  QLabel* Label5 = nullptr;
  QComboBox* Combo4 = nullptr;
  QLabel* Label6 = nullptr;
  QComboBox* Combo5 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* txtRutaFile = nullptr;
  QLabel* Label7 = nullptr;
  QLineEdit* txtTimeConexion = nullptr;
  QLabel* Label15 = nullptr;
  QLineEdit* txtMinutosCargo = nullptr;
  QLabel* Label8 = nullptr;
  QComboBox* cmbOrdenFecha = nullptr;
  QLabel* Label9 = nullptr;
  QLineEdit* txtMinutosSinDatos = nullptr;
  // The exchange on the network (section Central).
  QLabel* Label10 = nullptr;
  QComboBox* cboOrigen = nullptr;
  QLabel* Label11 = nullptr;
  QComboBox* cboModo = nullptr;
  QLabel* Label12 = nullptr;
  QLineEdit* txtDireccion = nullptr;
  QLabel* Label13 = nullptr;
  QLineEdit* txtPuertoTcp = nullptr;
  QLabel* Label14 = nullptr;
  QLineEdit* txtPermitida = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;

  const std::string archivo_;
  std::map<const QWidget*, std::string> leidos_;
  bool cerrando_ = false;
  Bitacora::Sumidero sumidero_;
  std::optional<captura::Fallo> fallo_;
  bool centralLeida_ = false;  // the file has the section Central
};
