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

enum Columna { kSituacion, kRecibida, kIntentos, kFalla, kLinea, kColumnas };

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
                                     QStringLiteral("Línea recibida")});
  tabla_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tabla_->setWordWrap(false);
  tabla_->verticalHeader()->hide();
  tabla_->horizontalHeader()->setStretchLastSection(true);

  cmdReintentar = new QPushButton(QStringLiteral("&Reintentar"), this);
  cmdReintentar->setToolTip(QStringLiteral("Devuelve a la cola las llamadas apartadas elegidas"));
  cmdReintentarTodas = new QPushButton(QStringLiteral("Reintentar &todas"), this);
  cmdReintentarTodas->setToolTip(QStringLiteral("Devuelve a la cola todas las llamadas apartadas"));
  cmdCerrar = new QPushButton(QStringLiteral("&Cerrar"), this);
  connect(cmdReintentar, &QPushButton::clicked, this, &frmPendientes::cmdReintentar_Click);
  connect(cmdReintentarTodas, &QPushButton::clicked, this,
          &frmPendientes::cmdReintentarTodas_Click);
  connect(cmdCerrar, &QPushButton::clicked, this, &QDialog::close);

  auto* botones = new QHBoxLayout;
  botones->addWidget(cmdReintentar);
  botones->addWidget(cmdReintentarTodas);
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
    const QString falla = l.UltimoFallo ? Texto(Bitacora::TextoFallo(*l.UltimoFallo))
                                        : QStringLiteral("en espera de las anteriores");
    tabla_->setItem(fila, kFalla, Celda(falla));
    auto* linea = Celda(Texto(Bitacora::TextoLinea(l.Linea)));
    linea->setFont(fija);
    tabla_->setItem(fila, kLinea, linea);
    if (std::find(elegidas.begin(), elegidas.end(), id) != elegidas.end()) tabla_->selectRow(fila);
    ++fila;
  }
  tabla_->resizeColumnsToContents();
  lblResumen->setText(QStringLiteral("Pendientes: %1 (se reintentan solas)   Apartadas: %2 "
                                     "(se reintentan al corregir la causa y pulsar Reintentar)")
                          .arg(gestor_.Pendientes())
                          .arg(gestor_.Aparcadas()));
  cmdReintentarTodas->setEnabled(gestor_.Aparcadas() > 0);
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
