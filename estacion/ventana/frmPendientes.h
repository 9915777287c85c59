#pragma once

#include <QDialog>

#include <cstdint>
#include <vector>

class ListaPendientes;
class QLabel;
class QPushButton;
class QTableWidget;

// The calls kept because the database did not take them: those that wait to
// be re-posted and those parked after a failure for good, each with its line
// as received, when it came, the last failure and the attempts so far. Once
// what made a call fail is fixed, the operator sends parked calls back to
// the queue, one or all. A call whose reservation was found too late to be
// sure of the guest is stored without it; its charge waits here until the
// operator posts it to the reservation shown or drops it.
class frmPendientes : public QDialog {
  Q_OBJECT

 public:
  // The station's kept calls: of this process's queue or of the service's.
  explicit frmPendientes(ListaPendientes& lista, QWidget* padre = nullptr);

  // Shows the queue as it is now, keeping the selection.
  void Actualizar();

  QTableWidget* Tabla() const { return tabla_; }

  // The parked calls among the selected rows; every parked call.
  void cmdReintentar_Click();
  void cmdReintentarTodas_Click();
  // The charges to confirm among the selected rows.
  void cmdCargar_Click();
  void cmdDescartarCargo_Click();

 private:
  void Devolver(const std::vector<uint64_t>& ids);
  void Responder(bool (ListaPendientes::*respuesta)(uint64_t));
  std::vector<uint64_t> Seleccionadas() const;

  ListaPendientes& lista_;
  QLabel* lblResumen = nullptr;
  QTableWidget* tabla_ = nullptr;
  QPushButton* cmdReintentar = nullptr;
  QPushButton* cmdReintentarTodas = nullptr;
  QPushButton* cmdCargar = nullptr;
  QPushButton* cmdDescartarCargo = nullptr;
  QPushButton* cmdCerrar = nullptr;
};
