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

#include "estacion/nucleo/ListaPendientes.h"

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

}  // namespace

frmPendientes::frmPendientes(ListaPendientes& lista, QWidget* padre)
    : QDialog(padre), lista_(lista) {
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
  const auto filas = lista_.FilasPendientes();
  tabla_->setRowCount(static_cast<int>(filas.size()));
  const QFont fija = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  int fila = 0;
  std::size_t aparcadas = 0;
  std::size_t aConfirmar = 0;
  for (const auto& f : filas) {
    aparcadas += f.Aparcada;
    aConfirmar += f.CargoAConfirmar;
    auto* situacion = Celda(f.Aparcada ? QStringLiteral("Apartada") : QStringLiteral("Pendiente"));
    situacion->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(f.Id));
    tabla_->setItem(fila, kSituacion, situacion);
    tabla_->setItem(fila, kRecibida, Celda(Momento(f.Recibida)));
    tabla_->setItem(fila, kIntentos, Celda(QString::number(f.Intentos)));
    tabla_->setItem(fila, kFalla, Celda(Texto(f.Falla)));
    tabla_->setItem(fila, kReserva, Celda(f.Reserva > 0 ? QString::number(f.Reserva) : QString()));
    auto* linea = Celda(Texto(f.Linea));
    linea->setFont(fija);
    tabla_->setItem(fila, kLinea, linea);
    if (std::find(elegidas.begin(), elegidas.end(), f.Id) != elegidas.end())
      tabla_->selectRow(fila);
    ++fila;
  }
  tabla_->resizeColumnsToContents();
  lblResumen->setText(QStringLiteral("Pendientes: %1 (se reintentan solas)   Apartadas: %2 "
                                     "(se reintentan al corregir la causa y pulsar Reintentar)   "
                                     "Cargos a confirmar: %3 (Cargar o Descartar cargo)")
                          .arg(filas.size() - aparcadas)
                          .arg(aparcadas - aConfirmar)
                          .arg(aConfirmar));
  cmdReintentarTodas->setEnabled(aparcadas > aConfirmar);
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

void frmPendientes::cmdCargar_Click() { Responder(&ListaPendientes::Cargar); }

void frmPendientes::cmdDescartarCargo_Click() { Responder(&ListaPendientes::DescartarCargo); }

// Rows whose charge does not wait for the operator are left alone.
void frmPendientes::Responder(bool (ListaPendientes::*respuesta)(uint64_t)) {
  for (uint64_t id : Seleccionadas()) (lista_.*respuesta)(id);
  Actualizar();
}

void frmPendientes::cmdReintentarTodas_Click() {
  std::vector<uint64_t> ids;
  for (const auto& f : lista_.FilasPendientes()) {
    if (f.Aparcada) ids.push_back(f.Id);
  }
  Devolver(ids);
}

// Lines that are not parked (any more) are left alone.
void frmPendientes::Devolver(const std::vector<uint64_t>& ids) {
  for (uint64_t id : ids) lista_.Devolver(id);
  Actualizar();
}
