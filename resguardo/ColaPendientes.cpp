#include "resguardo/ColaPendientes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "resguardo/ArchivoDisco.h"

using captura::Estado;
using captura::Fallo;

namespace {

// The file begins with this; then changes, each one: payload length (4
// bytes), CRC-32 of the payload (4 bytes), payload. All numbers little-endian.
constexpr std::string_view kCabecera = "SNTLPND1";
constexpr uint8_t kPoner = 1;           // payload: the whole line (files of earlier versions)
constexpr uint8_t kQuitar = 2;          // payload: its Id
constexpr uint8_t kPonerConAvance = 3;  // payload: the whole line, then what it learned
constexpr uint8_t kConTarifa = 1;
constexpr uint8_t kConHabitacion = 2;
constexpr std::size_t kMaximoCambio = 1 << 20;
constexpr std::size_t kMinimoCambio = 1 + 8;

class Escritor {
 public:
  template <class T>
  Escritor& Numero(T v) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      datos_ += static_cast<char>(static_cast<uint64_t>(v) >> (8 * i) & 0xFF);
    }
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
        .Numero(static_cast<uint8_t>(a.Llamada));
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
    uint64_t r = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      r |= static_cast<uint64_t>(static_cast<unsigned char>(datos_[i])) << (8 * i);
    }
    v = static_cast<T>(r);
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
  bool Avance(AvanceRegistro& a) {
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

std::string Poner(const LineaPendiente& l) {
  Escritor e;
  e.Numero(kPonerConAvance)
      .Numero(l.Id)
      .Numero(static_cast<uint8_t>(l.Situacion))
      .Numero(l.Intentos)
      .Numero(l.Recibida)
      .Numero(l.UltimoIntento)
      .Falla(l.PrimerFallo)
      .Falla(l.UltimoFallo)
      .Texto(l.Linea)
      .Avance(l.Avance);
  return e.Cambio();
}

std::string Quitar(uint64_t id) { return Escritor().Numero(kQuitar).Numero(id).Cambio(); }

Fallo FalloSistema(const std::string& que, const std::string& ruta) {
  return archivo_disco::FalloSistema(errno, que + " " + ruta);
}

Estado EscribirTodo(int fd, std::string_view datos, const std::string& ruta) {
  while (!datos.empty()) {
    const ssize_t n = ::write(fd, datos.data(), datos.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return FalloSistema("cannot write", ruta);
    datos.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

// A renamed or created file is only durable once its directory is; a
// failure here only costs that.
void SincronizarDirectorio(const std::string& ruta) {
  const auto dir = std::filesystem::path(ruta).parent_path();
  static_cast<void>(archivo_disco::SincronizarDirectorio(dir.empty() ? "." : dir));
}
}  // namespace

ColaPendientes::ColaPendientes(std::string ruta) : ruta_(std::move(ruta)) { Cargar(); }

void ColaPendientes::Cargar() {
  std::string datos;
  {
    Descriptor f(::open(ruta_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!f.Valido() && errno != ENOENT) {
      estadoArchivo_ = FalloSistema("cannot open", ruta_);
      return;
    }
    if (f.Valido()) {
      auto leidos = archivo_disco::LeerTodo(f, ruta_);
      if (!leidos) {
        estadoArchivo_ = archivo_disco::FalloSistema(leidos.Falla().Numero, "cannot read " + ruta_);
        return;
      }
      datos = std::move(leidos.Dato());
    }
  }
  if (datos.empty()) {
    Contar();
    estadoArchivo_ = Reescribir();
    return;
  }
  const auto danados = Leer(datos);
  if (!danados) {
    // Not a queue file: kept aside for a person to look at, never overwritten.
    const std::string aparte = archivo_disco::NombreAparte(ruta_);
    if (std::rename(ruta_.c_str(), aparte.c_str()) != 0) {
      estadoArchivo_ = FalloSistema("cannot move aside the unreadable", ruta_);
      return;
    }
    estadoArchivo_ = Fallo{EILSEQ, ruta_ + " was not a queue file; moved to " + aparte};
  } else if (*danados > 0) {
    // The file as it was, for a person to recover by hand what could not be read.
    const std::string copia = archivo_disco::NombreAparte(ruta_);
    if (auto e = archivo_disco::Copiar(datos, copia); !e) {
      estadoArchivo_ = e;
      return;  // never rewritten without its copy
    }
    estadoArchivo_ =
        Fallo{EILSEQ, ruta_ + " was damaged: " + std::to_string(*danados) +
                          " bytes could not be read; the file as it was is kept at " + copia};
  }
  Contar();
  // Starts from a clean file: no torn tail, no dead changes.
  const Estado escrito = Reescribir();
  if (!escrito || estadoArchivo_) estadoArchivo_ = escrito;
}

namespace {

// One change at the start of the data: its payload, or nothing when no
// whole change with a good checksum starts there.
std::optional<std::string_view> Cambio(std::string_view datos) {
  if (datos.size() < 8) return std::nullopt;
  Lector marco(datos.substr(0, 8));
  uint32_t largo = 0, crc = 0;
  marco.Numero(largo);
  marco.Numero(crc);
  // Every change holds at least its kind and an Id (and a run of zeros,
  // an empty payload with checksum 0, is no change).
  if (largo < kMinimoCambio || largo > kMaximoCambio || datos.size() - 8 < largo) {
    return std::nullopt;
  }
  const std::string_view carga = datos.substr(8, largo);
  if (archivo_disco::Crc32(carga) != crc) return std::nullopt;
  return carga;
}

}  // namespace

// Replays the changes. A change that does not hold (its checksum or its
// length is damaged) costs only itself: the reading goes on at the next
// place where a whole change starts. A torn tail (a write cut short) ends
// the changes. Nothing when the file is not a queue file at all; else the
// damaged bytes skipped before the tail.
std::optional<std::size_t> ColaPendientes::Leer(std::string_view datos) {
  if (!datos.starts_with(kCabecera)) return std::nullopt;
  datos.remove_prefix(kCabecera.size());
  std::size_t danados = 0;
  while (!datos.empty()) {
    auto carga = Cambio(datos);
    std::size_t salto = 1;
    while (!carga && salto < datos.size()) carga = Cambio(datos.substr(salto++));
    if (!carga) break;  // the tail
    if (carga->data() != datos.data() + 8) {
      const auto inicio = static_cast<std::size_t>(carga->data() - 8 - datos.data());
      danados += inicio;
      datos.remove_prefix(inicio);
    }
    datos.remove_prefix(8 + carga->size());
    if (!Aplicar(*carga)) danados += 8 + carga->size();
  }
  return danados;
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
  if ((tipo != kPoner && tipo != kPonerConAvance) || !l.Numero(situacion) ||
      !l.Numero(linea.Intentos) || !l.Numero(linea.Recibida) || !l.Numero(linea.UltimoIntento) ||
      !l.Falla(linea.PrimerFallo) || !l.Falla(linea.UltimoFallo) || !l.Texto(linea.Linea)) {
    return false;
  }
  // A line kept by an earlier version: nothing is known of what it posted.
  if (tipo == kPoner) linea.Avance = AvanceRegistro::Desconocido();
  if (tipo == kPonerConAvance && !l.Avance(linea.Avance)) return false;
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

void ColaPendientes::Actualizar(const LineaPendiente& linea) {
  auto it = lineas_.find(linea.Id);
  if (it == lineas_.end()) return;
  it->second = linea;
  Contar();
  Registrar(Poner(linea));
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
  if (auto e = EscribirTodo(fd_.fd(), datos, ruta_); !e) return e;
  if (::fdatasync(fd_.fd()) != 0) return FalloSistema("cannot sync", ruta_);
  return {};
}

// The live lines into a new file, synced, then renamed over the old one: a
// crash at any point leaves one whole file or the other.
Estado ColaPendientes::Reescribir() {
  fd_.Cerrar();
  const std::string temporal = ruta_ + ".nuevo";
  fd_ = Descriptor(::open(temporal.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (!fd_.Valido()) return FalloSistema("cannot create", temporal);
  std::string todo(kCabecera);
  for (const auto& [id, l] : lineas_) todo += Poner(l);
  Estado e = Escribir(todo);
  if (e && ::rename(temporal.c_str(), ruta_.c_str()) != 0)
    e = FalloSistema("cannot replace", ruta_);
  if (!e) {
    fd_.Cerrar();
    ::unlink(temporal.c_str());
    return e;
  }
  SincronizarDirectorio(ruta_);
  cambios_ = lineas_.size();
  // The descriptor now names the renamed file; later changes are appended.
  if (::lseek(fd_.fd(), 0, SEEK_END) < 0) return FalloSistema("cannot seek", ruta_);
  return {};
}
