#include "estacion/enlace/MensajeEnlace.h"

#include <QJsonArray>

#include <array>
#include <utility>

#include "estacion/nucleo/VistaEstacion.h"

namespace {

const QString kTipo = QStringLiteral("tipo");
const QString kTipoEstado = QStringLiteral("estado");
const QString kTipoOrden = QStringLiteral("orden");
const QString kId = QStringLiteral("id");

constexpr std::array<std::pair<MensajeEnlace::Orden, const char*>, 4> kOrdenes = {{
    {MensajeEnlace::Orden::Devolver, "devolver"},
    {MensajeEnlace::Orden::Cargar, "cargar"},
    {MensajeEnlace::Orden::DescartarCargo, "descartar-cargo"},
    {MensajeEnlace::Orden::AjustesGrabados, "ajustes-grabados"},
}};

QString Texto(const std::string& utf8) { return QString::fromStdString(utf8); }
std::string Utf8(const QJsonValue& valor) { return valor.toString().toStdString(); }

// Ids go as text: a JSON number holds 53 bits only.
QString TextoId(uint64_t id) { return QString::number(id); }
std::optional<uint64_t> LeerId(const QJsonValue& valor) {
  bool bien = false;
  const uint64_t id = valor.toString().toULongLong(&bien);
  if (!bien) return std::nullopt;
  return id;
}

QJsonObject DeFila(const FilaPendiente& f) {
  return {{kId, TextoId(f.Id)},
          {QStringLiteral("aparcada"), f.Aparcada},
          {QStringLiteral("aConfirmar"), f.CargoAConfirmar},
          {QStringLiteral("recibida"), static_cast<qint64>(f.Recibida)},
          {QStringLiteral("intentos"), static_cast<qint64>(f.Intentos)},
          {QStringLiteral("falla"), Texto(f.Falla)},
          {QStringLiteral("reserva"), f.Reserva},
          {QStringLiteral("linea"), Texto(f.Linea)}};
}

std::optional<FilaPendiente> LeerFila(const QJsonValue& valor) {
  const QJsonObject o = valor.toObject();
  const auto id = LeerId(o.value(kId));
  if (!id) return std::nullopt;
  FilaPendiente f;
  f.Id = *id;
  f.Aparcada = o.value(QStringLiteral("aparcada")).toBool();
  f.CargoAConfirmar = o.value(QStringLiteral("aConfirmar")).toBool();
  f.Recibida = o.value(QStringLiteral("recibida")).toInteger();
  f.Intentos = static_cast<uint32_t>(o.value(QStringLiteral("intentos")).toInteger());
  f.Falla = Utf8(o.value(QStringLiteral("falla")));
  f.Reserva = o.value(QStringLiteral("reserva")).toInt();
  f.Linea = Utf8(o.value(QStringLiteral("linea")));
  return f;
}

}  // namespace

QJsonObject MensajeEnlace::DeEstado(const VistaEstacion& estacion) {
  QJsonArray filas;
  for (const auto& f : estacion.FilasPendientes()) filas.append(DeFila(f));
  const auto& llegada = estacion.TextoLlegada();
  return {{kTipo, kTipoEstado},
          {QStringLiteral("estado"), Texto(estacion.TextoEstado())},
          {QStringLiteral("llegada"),
           QString::fromLatin1(llegada.data(), static_cast<qsizetype>(llegada.size()))},
          {QStringLiteral("avisos"), Texto(estacion.TextoAvisos())},
          {QStringLiteral("resumen"), Texto(estacion.Resumen())},
          {QStringLiteral("alarma"), estacion.EnAlarma()},
          {QStringLiteral("hayPendientes"), estacion.HayPendientes()},
          {QStringLiteral("puerto"), estacion.Fuente().NumeroPuerto},
          {QStringLiteral("origen"), Texto(estacion.Fuente().Origen)},
          {QStringLiteral("pendientes"), filas}};
}

std::optional<MensajeEnlace::Estado> MensajeEnlace::LeerEstado(const QJsonObject& m) {
  if (m.value(kTipo).toString() != kTipoEstado) return std::nullopt;
  Estado e;
  e.TextoEstado = Utf8(m.value(QStringLiteral("estado")));
  e.TextoLlegada = m.value(QStringLiteral("llegada")).toString().toLatin1().toStdString();
  e.TextoAvisos = Utf8(m.value(QStringLiteral("avisos")));
  e.Resumen = Utf8(m.value(QStringLiteral("resumen")));
  e.EnAlarma = m.value(QStringLiteral("alarma")).toBool();
  e.HayPendientes = m.value(QStringLiteral("hayPendientes")).toBool();
  e.Fuente.NumeroPuerto = static_cast<int16_t>(m.value(QStringLiteral("puerto")).toInt());
  e.Fuente.Origen = Utf8(m.value(QStringLiteral("origen")));
  for (const auto& valor : m.value(QStringLiteral("pendientes")).toArray()) {
    auto fila = LeerFila(valor);
    if (!fila) return std::nullopt;
    e.Filas.push_back(std::move(*fila));
  }
  return e;
}

QJsonObject MensajeEnlace::DePedido(const Pedido& pedido) {
  QJsonObject m{{kTipo, kTipoOrden}};
  for (const auto& [orden, nombre] : kOrdenes) {
    if (orden == pedido.Que) m.insert(kTipoOrden, QString::fromLatin1(nombre));
  }
  if (pedido.Que != Orden::AjustesGrabados) m.insert(kId, TextoId(pedido.Id));
  return m;
}

std::optional<MensajeEnlace::Pedido> MensajeEnlace::LeerPedido(const QJsonObject& m) {
  if (m.value(kTipo).toString() != kTipoOrden) return std::nullopt;
  const QString nombre = m.value(kTipoOrden).toString();
  for (const auto& [orden, texto] : kOrdenes) {
    if (nombre != QLatin1String(texto)) continue;
    if (orden == Orden::AjustesGrabados) return Pedido{orden};
    const auto id = LeerId(m.value(kId));
    if (!id) return std::nullopt;
    return Pedido{orden, *id};
  }
  return std::nullopt;
}
