#include "resguardo/ColaPendientes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>

#include "resguardo/ArchivoDisco.h"
#include "resguardo/CodigoRegistro.h"

using captura::Estado;
using captura::Fallo;

namespace {

// The file begins with this; then changes, each one: payload length (4
// bytes), CRC-32 of the payload (4 bytes), payload. All numbers little-endian.
constexpr std::string_view kCabecera = "SNTLPND1";
constexpr uint8_t kPoner = 1;           // payload: the whole line (files of earlier versions)
constexpr uint8_t kQuitar = 2;          // payload: its Id
constexpr uint8_t kPonerConAvance = 3;  // the same, then what it learned (earlier versions)
// The whole line with its arrival time, what it learned and whose the charge is.
constexpr uint8_t kPonerConLlegada = 4;
constexpr uint8_t kConTarifa = 1;
constexpr uint8_t kConHabitacion = 2;
constexpr std::size_t kMaximoCambio = 1 << 20;
constexpr std::size_t kMinimoCambio = 1 + 8;

class Escritor {
 public:
  template <class T>
  Escritor& Numero(T v) {
    codigo_registro::Poner(datos_, v);
    return *this;
  }
  Escritor& Texto(std::string_view t) {
    Numero(static_cast<uint32_t>(t.size()));
    datos_ += t;
    return *this;
  }
  Escritor& Real(float v) { return Numero(std::bit_cast<uint32_t>(v)); }
  Escritor& Avance(const AvanceRegistro& a) {
    const AvanceRegistro::Tarifa t = a.Tarifa_.value_or(AvanceRegistro::Tarifa{});
    const AvanceRegistro::Habitacion h = a.Habitacion_.value_or(AvanceRegistro::Habitacion{});
    return Numero(static_cast<uint8_t>((a.Tarifa_ ? kConTarifa : 0) |
                                       (a.Habitacion_ ? kConHabitacion : 0)))
        .Real(t.PrecioVenta)
        .Real(t.PrecioCosto)
        .Numero(t.ProductoID)
        .Numero(t.MonedaId)
        .Numero(h.ReservaId)
        .Numero(h.HabitacionId)
        .Numero(static_cast<uint8_t>(a.Cargo))
        .Numero(static_cast<uint8_t>(a.Llamada))
        .Numero(static_cast<uint8_t>(a.Reserva_));
  }
  Escritor& Falla(const std::optional<Fallo>& f) {
    Numero(static_cast<uint8_t>(f.has_value()));
    if (f) Numero(f->Numero).Texto(f->Descripcion);
    return *this;
  }
  // The payload framed with its length and checksum.
  std::string Cambio() const {
    Escritor marco;
    marco.Numero(static_cast<uint32_t>(datos_.size())).Numero(archivo_disco::Crc32(datos_));
    return marco.datos_ + datos_;
  }

 private:
  std::string datos_;
};

class Lector {
 public:
  explicit Lector(std::string_view datos) : datos_(datos) {}

  template <class T>
  bool Numero(T& v) {
    if (datos_.size() < sizeof(T)) return false;
    v = codigo_registro::Tomar<T>(datos_, 0);
    datos_.remove_prefix(sizeof(T));
    return true;
  }
  bool Texto(std::string& t) {
    uint32_t largo = 0;
    if (!Numero(largo) || datos_.size() < largo) return false;
    t.assign(datos_.substr(0, largo));
    datos_.remove_prefix(largo);
    return true;
  }
  bool Real(float& v) {
    uint32_t bits = 0;
    if (!Numero(bits)) return false;
    v = std::bit_cast<float>(bits);
    return true;
  }
  bool Paso(AvanceRegistro::Paso& p) {
    uint8_t v = 0;
    if (!Numero(v) || v > static_cast<uint8_t>(AvanceRegistro::Paso::Dudoso)) return false;
    p = static_cast<AvanceRegistro::Paso>(v);
    return true;
  }
  bool Avance(AvanceRegistro& a, bool conReserva) {
    uint8_t conocido = 0;
    AvanceRegistro::Tarifa t;
    AvanceRegistro::Habitacion h;
    if (!Numero(conocido) || !Real(t.PrecioVenta) || !Real(t.PrecioCosto) ||
        !Numero(t.ProductoID) || !Numero(t.MonedaId) || !Numero(h.ReservaId) ||
        !Numero(h.HabitacionId) || !Paso(a.Cargo) || !Paso(a.Llamada)) {
      return false;
    }
    if (conocido & kConTarifa) a.Tarifa_ = t;
    if (conocido & kConHabitacion) a.Habitacion_ = h;
    uint8_t reserva = 0;
    if (conReserva &&
        (!Numero(reserva) || reserva > static_cast<uint8_t>(AvanceRegistro::Reserva::Descartada))) {
      return false;
    }
    a.Reserva_ = static_cast<AvanceRegistro::Reserva>(reserva);
    return true;
  }
  bool Falla(std::optional<Fallo>& f) {
    uint8_t hay = 0;
    if (!Numero(hay)) return false;
    if (!hay) {
      f.reset();
      return true;
    }
    f.emplace();
    return Numero(f->Numero) && Texto(f->Descripcion);
  }
  bool Vacio() const { return datos_.empty(); }

 private:
  std::string_view datos_;
};

// What the file says a line did: during a re-posting pass, whatever is not
// posted yet may be.
AvanceRegistro EnArchivo(const LineaPendiente& l) {
  AvanceRegistro a = l.Avance;
  if (!l.Reponiendo) return a;
  for (auto paso : {&AvanceRegistro::Cargo, &AvanceRegistro::Llamada}) {
    if (a.*paso == AvanceRegistro::Paso::Pendiente) a.*paso = AvanceRegistro::Paso::Dudoso;
  }
  return a;
}

std::string Poner(const LineaPendiente& l) {
  Escritor e;
  e.Numero(kPonerConLlegada)
      .Numero(l.Id)
      .Numero(static_cast<uint8_t>(l.Situacion))
      .Numero(l.Intentos)
      .Numero(l.Recibida)
      .Numero(l.UltimoIntento)
      .Falla(l.PrimerFallo)
      .Falla(l.UltimoFallo)
      .Texto(l.Linea)
      .Avance(EnArchivo(l));
  return e.Cambio();
}

std::string Quitar(uint64_t id) { return Escritor().Numero(kQuitar).Numero(id).Cambio(); }

Fallo FalloSistema(const std::string& que, const std::string& ruta) {
  return archivo_disco::FalloSistema(errno, que + " " + ruta);
}

// A file read forward in pieces: what is held is at most the change being
// read and one piece, however large the file.
class Trozos {
 public:
  Trozos(const Descriptor& archivo, uint64_t tamano, const std::string& ruta)
      : archivo_(archivo), tamano_(tamano), ruta_(ruta) {}

  // The bytes from the current place on, at least `largo` of them unless
  // the file ends first or cannot be read (Fallo says why).
  std::string_view Ver(std::size_t largo) {
    const std::size_t hay = buffer_.size() - inicio_;
    if (hay < largo && leido_ < tamano_ && !fallo_) {
      buffer_.erase(0, inicio_);
      inicio_ = 0;
      const uint64_t pedir =
          std::min(tamano_ - leido_, std::max<uint64_t>(largo - hay, archivo_disco::kPieza));
      if (auto e = archivo_disco::LeerDe(archivo_, leido_, pedir, buffer_, ruta_); !e) {
        fallo_ = e.Falla();
      } else {
        leido_ += pedir;
      }
    }
    return std::string_view(buffer_).substr(inicio_, largo);
  }
  // Past bytes that Ver gave.
  void Avanzar(std::size_t n) { inicio_ += n; }
  // Bytes from the current place to the end of the file.
  uint64_t Resto() const { return tamano_ - leido_ + (buffer_.size() - inicio_); }
  const std::optional<Fallo>& Falla() const { return fallo_; }

 private:
  const Descriptor& archivo_;
  const uint64_t tamano_;
  const std::string& ruta_;
  std::string buffer_;
  std::size_t inicio_ = 0;
  uint64_t leido_ = 0;
  std::optional<Fallo> fallo_;
};

// The length a change at the current place says it has, when it has one.
std::optional<uint32_t> Largo(Trozos& t, uint32_t& crc) {
  const std::string_view marco = t.Ver(8);
  if (marco.size() < 8) return std::nullopt;
  Lector l(marco);
  uint32_t largo = 0;
  l.Numero(largo);
  l.Numero(crc);
  // Every change holds at least its kind and an Id (and a run of zeros,
  // an empty payload with checksum 0, is no change).
  if (largo < kMinimoCambio || largo > kMaximoCambio) return std::nullopt;
  return largo;
}

// One change at the current place: its payload, or nothing when no whole
// change with a good checksum starts there.
std::optional<std::string_view> Cambio(Trozos& t) {
  uint32_t crc = 0;
  const auto largo = Largo(t, crc);
  if (!largo) return std::nullopt;
  const std::string_view todo = t.Ver(8 + std::size_t{*largo});
  if (todo.size() < 8 + std::size_t{*largo}) return std::nullopt;
  const std::string_view carga = todo.substr(8);
  if (archivo_disco::Crc32(carga) != crc) return std::nullopt;
  return carga;
}

// A change the end of the file cuts short: a write that never finished.
bool Cortado(Trozos& t) {
  if (t.Resto() < 8) return true;
  uint32_t crc = 0;
  const auto largo = Largo(t, crc);
  return largo && 8 + uint64_t{*largo} > t.Resto();
}

// Replays the changes. A change that does not hold (its checksum or its
// length is damaged) costs only itself: the reading goes on at the next
// place where a whole change starts. Only a change cut short at the end is
// a torn write, which ends the changes; any other bytes that hold no change
// are damage. Nothing when the file is not a queue file at all; else the
// damaged bytes.
std::optional<std::size_t> LeerCambios(Trozos& t,
                                       const std::function<bool(std::string_view)>& aplicar) {
  if (t.Resto() == 0) return 0;  // created, never written
  if (t.Ver(kCabecera.size()) != kCabecera) return std::nullopt;
  t.Avanzar(kCabecera.size());
  std::size_t danados = 0, saltados = 0;
  bool cortado = false;
  while (t.Resto() > 0 && !t.Falla()) {
    const auto carga = Cambio(t);
    if (!carga) {
      if (t.Falla()) break;
      if (saltados++ == 0) cortado = Cortado(t);
      t.Avanzar(1);
      continue;
    }
    danados += saltados;
    saltados = 0;
    if (!aplicar(*carga)) danados += 8 + carga->size();
    t.Avanzar(8 + carga->size());
  }
  return cortado ? danados : danados + saltados;
}

}  // namespace

ColaPendientes::ColaPendientes(std::string ruta) : ruta_(std::move(ruta)) { Cargar(); }

void ColaPendientes::Cargar() {
  cargada_ = std::time(nullptr);
  const Descriptor f = archivo_disco::AbrirPropio(ruta_, O_RDONLY);
  if (!f.Valido() && errno == ENOENT) {
    estadoArchivo_ = Reescribir();
    return;
  }
  struct stat info {};
  if (!f.Valido() || ::fstat(f.fd(), &info) != 0) {
    Danado(FalloSistema("cannot read", ruta_).Descripcion, Apartado::Mover);
    return;
  }
  Trozos trozos(f, static_cast<uint64_t>(info.st_size), ruta_);
  const auto danados =
      LeerCambios(trozos, [this](std::string_view carga) { return Aplicar(carga); });
  Contar();
  if (trozos.Falla()) {
    // What was read before the failure is kept; the rest is for a person.
    Danado("cannot read " + trozos.Falla()->Descripcion, Apartado::Mover);
  } else if (!danados) {
    Danado(ruta_ + " was not a queue file", Apartado::Mover);
  } else if (*danados > 0) {
    Danado(ruta_ + " was damaged: " + std::to_string(*danados) + " bytes could not be read",
           Apartado::Copiar);
  } else {
    // Starts from a clean file: no torn tail, no dead changes.
    estadoArchivo_ = Reescribir();
  }
}

// The queue goes on in a new file once the old one is kept aside.
void ColaPendientes::Danado(const std::string& que, Apartado como) {
  apartar_ = como;
  estadoArchivo_ = Reescribir();
  dano_ = Fallo{EILSEQ, que + (apartar_ ? "; it could not be kept aside: " +
                                              estadoArchivo_.Falla().Descripcion
                                        : "; the file as it was is kept at " + aparte_)};
}

// A person may recover by hand what could not be read: the file is never
// replaced before it is kept.
Estado ColaPendientes::GuardarAparte() {
  const std::string aparte = archivo_disco::NombreAparte(ruta_);
  if (*apartar_ == Apartado::Mover) {
    if (::rename(ruta_.c_str(), aparte.c_str()) != 0) {
      return FalloSistema("cannot move aside", ruta_);
    }
    // A failure here costs only the move's durability.
    static_cast<void>(archivo_disco::SincronizarDirectorioDe(ruta_));
  } else {
    const Descriptor f = archivo_disco::AbrirPropio(ruta_, O_RDONLY);
    if (!f.Valido()) return FalloSistema("cannot open", ruta_);
    if (auto e = archivo_disco::CopiarArchivo(f, ruta_, aparte); !e) return e;
  }
  apartar_.reset();
  aparte_ = aparte;
  return {};
}

// False when the change is not one this version knows.
bool ColaPendientes::Aplicar(std::string_view carga) {
  Lector l(carga);
  uint8_t tipo = 0;
  LineaPendiente linea;
  if (!l.Numero(tipo) || !l.Numero(linea.Id)) return false;
  if (tipo == kQuitar) {
    siguiente_ = std::max(siguiente_, linea.Id + 1);
    lineas_.erase(linea.Id);
    return true;
  }
  uint8_t situacion = 0;
  if ((tipo != kPoner && tipo != kPonerConAvance && tipo != kPonerConLlegada) ||
      !l.Numero(situacion) || !l.Numero(linea.Intentos) || !l.Numero(linea.Recibida) ||
      !l.Numero(linea.UltimoIntento) || !l.Falla(linea.PrimerFallo) ||
      !l.Falla(linea.UltimoFallo) || !l.Texto(linea.Linea)) {
    return false;
  }
  // A line kept by an earlier version: nothing is known of what it posted.
  if (tipo == kPoner) linea.Avance = AvanceRegistro::Desconocido();
  if (tipo != kPoner && !l.Avance(linea.Avance, tipo == kPonerConLlegada)) return false;
  // Earlier versions kept the time of the first failure, not the arrival.
  if (tipo != kPonerConLlegada) linea.Recibida = cargada_;
  linea.Situacion = situacion == static_cast<uint8_t>(LineaPendiente::Estado::Aparcada)
                        ? LineaPendiente::Estado::Aparcada
                        : LineaPendiente::Estado::Pendiente;
  siguiente_ = std::max(siguiente_, linea.Id + 1);
  lineas_[linea.Id] = std::move(linea);
  return true;
}

const LineaPendiente& ColaPendientes::Agregar(LineaPendiente linea) {
  linea.Id = siguiente_++;
  auto& guardada = lineas_[linea.Id] = std::move(linea);
  Contar();
  Registrar(Poner(guardada));
  return guardada;
}

void ColaPendientes::Actualizar(const LineaPendiente& linea) { Actualizar({&linea, 1}); }

void ColaPendientes::Actualizar(std::span<const LineaPendiente> lineas) {
  std::string cambios;
  for (const auto& linea : lineas) {
    auto it = lineas_.find(linea.Id);
    if (it == lineas_.end()) continue;
    it->second = linea;
    cambios += Poner(linea);
  }
  if (cambios.empty()) return;
  Contar();
  Registrar(cambios);
}

void ColaPendientes::Quitar(uint64_t id) {
  if (lineas_.erase(id) == 0) return;
  Contar();
  if (lineas_.empty()) {
    estadoArchivo_ = Reescribir();  // back to the bare header
  } else {
    Registrar(::Quitar(id));
  }
}

void ColaPendientes::Contar() {
  pendientes_ = 0;
  for (const auto& [id, l] : lineas_) {
    pendientes_ += l.Situacion == LineaPendiente::Estado::Pendiente;
  }
}

void ColaPendientes::Registrar(const std::string& cambio) {
  // A file that failed before is written anew whole: the changes since are
  // only in memory.
  if (!fd_.Valido() || !estadoArchivo_) {
    estadoArchivo_ = Reescribir();
    return;
  }
  estadoArchivo_ = Escribir(cambio);
  ++cambios_;
  if (!estadoArchivo_) fd_.Cerrar();
  // Mostly dead changes: rewrite with the live lines only.
  if (estadoArchivo_ && cambios_ > 64 && cambios_ > 4 * lineas_.size()) {
    estadoArchivo_ = Reescribir();
  }
}

Estado ColaPendientes::Escribir(const std::string& datos) {
  if (auto e = archivo_disco::EscribirEn(fd_, datos, std::nullopt, ruta_); !e) return e;
  if (::fdatasync(fd_.fd()) != 0) return FalloSistema("cannot sync", ruta_);
  return {};
}

// The live lines into a new file, synced, then renamed over the old one: a
// crash at any point leaves one whole file or the other.
Estado ColaPendientes::Reescribir() {
  fd_.Cerrar();
  if (apartar_) {
    if (auto e = GuardarAparte(); !e) return e;
  }
  std::string todo(kCabecera);
  for (const auto& [id, l] : lineas_) todo += Poner(l);
  auto nuevo = archivo_disco::Reemplazar(ruta_, ruta_ + ".nuevo", {todo});
  if (!nuevo) return nuevo.Falla();
  // The descriptor names the renamed file, at its end: later changes are appended.
  fd_ = std::move(nuevo.Dato());
  cambios_ = lineas_.size();
  return {};
}
