#include "estacion/ventana/frmPendientes.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

#include "resguardo/Bitacora.h"
#include "resguardo/GestorPendientes.h"

namespace {

enum Columna { kSituacion, kRecibida, kIntentos, kFalla, kReserva, kLinea, kColumnas };

QString Texto(const std::string& utf8) { return QString::fromStdString(utf8); }

QString Momento(int64_t segundos) {
  if (segundos <= 0) return {};
  return QDateTime::fromSecsSinceEpoch(segundos).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QTableWidgetItem* Celda(const QString& texto) {
  auto* celda = new QTableWidgetItem(texto);
  celda->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return celda;
}

bool Aparcada(const LineaPendiente& l) { return l.Situacion == LineaPendiente::Estado::Aparcada; }

QString Motivo(const LineaPendiente& l) {
  if (l.CargoAConfirmar()) return QStringLiteral("reserva a confirmar");
  if (!l.UltimoFallo) return QStringLiteral("en espera de las anteriores");
  return Texto(Bitacora::TextoFallo(*l.UltimoFallo));
}

}  // namespace

frmPendientes::frmPendientes(GestorPendientes& gestor, QWidget* padre)
    : QDialog(padre), gestor_(gestor) {
  setWindowTitle(QStringLiteral("Llamadas pendientes y apartadas"));
  setObjectName(QStringLiteral("frmPendientes"));
  lblResumen = new QLabel(this);
  tabla_ = new QTableWidget(0, kColumnas, this);
  tabla_->setObjectName(QStringLiteral("tablaPendientes"));
  tabla_->setHorizontalHeaderLabels({QStringLiteral("Situación"), QStringLiteral("Recibida"),
                                     QStringLiteral("Intentos"), QStringLiteral("Última falla"),
                                     QStringLiteral("Reserva"), QStringLiteral("Línea recibida")});
  tabla_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tabla_->setWordWrap(false);
  tabla_->verticalHeader()->hide();
  tabla_->horizontalHeader()->setStretchLastSection(true);

  cmdReintentar = new QPushButton(QStringLiteral("&Reintentar"), this);
  cmdReintentar->setToolTip(QStringLiteral("Devuelve a la cola las llamadas apartadas elegidas"));
  cmdReintentarTodas = new QPushButton(QStringLiteral("Reintentar &todas"), this);
  cmdReintentarTodas->setToolTip(QStringLiteral("Devuelve a la cola todas las llamadas apartadas"));
  cmdCargar = new QPushButton(QStringLiteral("C&argar"), this);
  cmdCargar->setToolTip(
      QStringLiteral("Carga a la reserva mostrada los cargos elegidos con reserva a confirmar"));
  cmdDescartarCargo = new QPushButton(QStringLiteral("&Descartar cargo"), this);
  cmdDescartarCargo->setToolTip(QStringLiteral(
      "No carga los cargos elegidos con reserva a confirmar; la llamada queda registrada"));
  cmdCerrar = new QPushButton(QStringLiteral("&Cerrar"), this);
  connect(cmdReintentar, &QPushButton::clicked, this, &frmPendientes::cmdReintentar_Click);
  connect(cmdReintentarTodas, &QPushButton::clicked, this,
          &frmPendientes::cmdReintentarTodas_Click);
  connect(cmdCargar, &QPushButton::clicked, this, &frmPendientes::cmdCargar_Click);
  connect(cmdDescartarCargo, &QPushButton::clicked, this, &frmPendientes::cmdDescartarCargo_Click);
  connect(cmdCerrar, &QPushButton::clicked, this, &QDialog::close);

  auto* botones = new QHBoxLayout;
  botones->addWidget(cmdReintentar);
  botones->addWidget(cmdReintentarTodas);
  botones->addWidget(cmdCargar);
  botones->addWidget(cmdDescartarCargo);
  botones->addStretch();
  botones->addWidget(cmdCerrar);
  auto* disposicion = new QVBoxLayout(this);
  disposicion->addWidget(lblResumen);
  disposicion->addWidget(tabla_);
  disposicion->addLayout(botones);
  resize(900, 320);
  Actualizar();
}

void frmPendientes::Actualizar() {
  const std::vector<uint64_t> elegidas = Seleccionadas();
  const auto& lineas = gestor_.Cola().Lineas();
  tabla_->setRowCount(static_cast<int>(lineas.size()));
  const QFont fija = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  int fila = 0;
  for (const auto& [id, l] : lineas) {
    auto* situacion = Celda(Aparcada(l) ? QStringLiteral("Apartada") : QStringLiteral("Pendiente"));
    situacion->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(id));
    tabla_->setItem(fila, kSituacion, situacion);
    tabla_->setItem(fila, kRecibida, Celda(Momento(l.Recibida)));
    tabla_->setItem(fila, kIntentos, Celda(QString::number(l.Intentos)));
    tabla_->setItem(fila, kFalla, Celda(Motivo(l)));
    const auto& habitacion = l.Avance.Habitacion_;
    tabla_->setItem(
        fila, kReserva,
        Celda(habitacion && habitacion->ReservaId > 0 ? QString::number(habitacion->ReservaId)
                                                      : QString()));
    auto* linea = Celda(Texto(Bitacora::TextoLineaEntera(l.Linea)));
    linea->setFont(fija);
    tabla_->setItem(fila, kLinea, linea);
    if (std::find(elegidas.begin(), elegidas.end(), id) != elegidas.end()) tabla_->selectRow(fila);
    ++fila;
  }
  tabla_->resizeColumnsToContents();
  const auto aConfirmar = static_cast<std::size_t>(std::count_if(
      lineas.begin(), lineas.end(), [](const auto& par) { return par.second.CargoAConfirmar(); }));
  lblResumen->setText(QStringLiteral("Pendientes: %1 (se reintentan solas)   Apartadas: %2 "
                                     "(se reintentan al corregir la causa y pulsar Reintentar)   "
                                     "Cargos a confirmar: %3 (Cargar o Descartar cargo)")
                          .arg(gestor_.Pendientes())
                          .arg(gestor_.Aparcadas() - aConfirmar)
                          .arg(aConfirmar));
  cmdReintentarTodas->setEnabled(gestor_.Aparcadas() > aConfirmar);
  cmdCargar->setEnabled(aConfirmar > 0);
  cmdDescartarCargo->setEnabled(aConfirmar > 0);
}

std::vector<uint64_t> frmPendientes::Seleccionadas() const {
  std::set<int> filas;
  for (const auto* celda : tabla_->selectedItems()) filas.insert(celda->row());
  std::vector<uint64_t> ids;
  for (int fila : filas) {
    if (const auto* celda = tabla_->item(fila, kSituacion)) {
      ids.push_back(celda->data(Qt::UserRole).toULongLong());
    }
  }
  return ids;
}

void frmPendientes::cmdReintentar_Click() { Devolver(Seleccionadas()); }

void frmPendientes::cmdCargar_Click() { Responder(&GestorPendientes::Cargar); }

void frmPendientes::cmdDescartarCargo_Click() { Responder(&GestorPendientes::DescartarCargo); }

// Rows whose charge does not wait for the operator are left alone.
void frmPendientes::Responder(bool (GestorPendientes::*respuesta)(uint64_t)) {
  for (uint64_t id : Seleccionadas()) (gestor_.*respuesta)(id);
  Actualizar();
}

void frmPendientes::cmdReintentarTodas_Click() {
  std::vector<uint64_t> ids;
  for (const auto& [id, l] : gestor_.Cola().Lineas()) {
    if (Aparcada(l)) ids.push_back(id);
  }
  Devolver(ids);
}

// Lines that are not parked (any more) are left alone.
void frmPendientes::Devolver(const std::vector<uint64_t>& ids) {
  for (uint64_t id : ids) gestor_.Devolver(id);
  Actualizar();
}
