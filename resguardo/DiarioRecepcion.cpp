#include "resguardo/DiarioRecepcion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "resguardo/ArchivoDisco.h"

using archivo_disco::FalloSistema;

namespace {

constexpr char kFirma[8] = {'S', 'N', 'T', 'R', 'D', 'I', 'A', '1'};
constexpr size_t kCabecera = sizeof kFirma + 2 * sizeof(uint64_t);  // signature, base, check
constexpr char kSufijoNuevo[] = ".nuevo";

std::string Cabecera(uint64_t base) {
  std::string cabecera(kFirma, sizeof kFirma);
  const std::array<uint64_t, 2> campos{base, archivo_disco::Control(base)};
  cabecera.append(reinterpret_cast<const char*>(campos.data()), sizeof campos);
  return cabecera;
}

struct Contenido {
  uint64_t Base = 0;
  uint64_t Largo = 0;  // bytes after the header
};

// The file is only ever made whole (written, flushed, renamed): a header
// that does not read back is not ours or was damaged outside the program.
captura::Resultado<Contenido> LeerCabecera(const Descriptor& datos,
                                           const std::filesystem::path& ruta) {
  struct stat info {};
  if (::fstat(datos.fd(), &info) != 0) return FalloSistema(errno, ruta.string());
  std::string cabecera;
  const auto largo = static_cast<uint64_t>(info.st_size);
  if (largo >= kCabecera) {
    if (auto leido = archivo_disco::LeerDe(datos, 0, kCabecera, cabecera, ruta); !leido) {
      return leido.Falla();
    }
  }
  std::array<uint64_t, 2> campos{};
  if (cabecera.size() == kCabecera) std::memcpy(campos.data(), cabecera.data() + 8, sizeof campos);
  if (cabecera.size() != kCabecera || std::memcmp(cabecera.data(), kFirma, sizeof kFirma) != 0 ||
      campos[1] != archivo_disco::Control(campos[0])) {
    return captura::Fallo{EILSEQ, ruta.string() + ": no es un diario de recepción válido"};
  }
  return Contenido{campos[0], largo - kCabecera};
}

// A journal of ours, whatever the state of the rest of its header.
bool ConFirma(const Descriptor& datos, const std::filesystem::path& ruta) {
  std::string firma;
  return archivo_disco::LeerDe(datos, 0, sizeof kFirma, firma, ruta) &&
         std::memcmp(firma.data(), kFirma, sizeof kFirma) == 0;
}

}  // namespace

captura::Resultado<std::unique_ptr<DiarioRecepcion>> DiarioRecepcion::Abrir(
    const std::filesystem::path& directorio, uint64_t umbral) {
  const auto ruta = directorio / kArchivo;
  // Left by a crash in the middle of a compaction; the old file is whole.
  ::unlink((ruta.string() + kSufijoNuevo).c_str());

  auto marca = MarcaCompletado::Abrir(directorio / kArchivoCompletado);
  if (!marca) return marca.Falla();
  Descriptor datos(::open(ruta.c_str(), O_RDWR | O_CLOEXEC));
  Contenido contenido{marca.Dato().Posicion(), 0};
  std::optional<captura::Fallo> dano;
  if (datos.Valido()) {
    auto leida = LeerCabecera(datos, ruta);
    if (!leida && leida.Falla().Numero == EILSEQ && ConFirma(datos, ruta)) {
      auto rehecho = Rehacer(directorio, datos, marca.Dato().Posicion());
      if (!rehecho) return rehecho.Falla();
      dano = leida.Falla();
      dano->Descripcion += "; the file as it was is kept at " + rehecho.Dato().second;
      datos = std::move(rehecho.Dato().first);
      leida = LeerCabecera(datos, ruta);
    }
    if (!leida) return leida.Falla();
    contenido = leida.Dato();
  } else if (errno != ENOENT) {
    return FalloSistema(errno, ruta.string());
  }
  // A new journal, or done bytes that never reached the disk (after failed
  // writes): positions go on from the mark, never back.
  if (!datos.Valido() || marca.Dato().Posicion() > contenido.Base + contenido.Largo) {
    contenido = {marca.Dato().Posicion(), 0};
    auto nuevo = Reescribir(directorio, contenido.Base, {});
    if (!nuevo) return nuevo.Falla();
    datos = std::move(nuevo.Dato());
    if (auto sincronizado = archivo_disco::SincronizarDirectorio(directorio); !sincronizado) {
      return sincronizado.Falla();
    }
  }
  auto diario =
      std::make_unique<DiarioRecepcion>(Llave{}, directorio, std::move(datos), contenido.Base,
                                        contenido.Largo, std::move(marca.Dato()), umbral);
  diario->dano_ = std::move(dano);
  return diario;
}

// A header damaged outside the program: the file is kept aside as it was,
// and the bytes after the header are taken as received from the done mark
// on, so they go once more through the path that posts only what is not
// stored yet; nothing after the damage is lost.
captura::Resultado<std::pair<Descriptor, std::string>> DiarioRecepcion::Rehacer(
    const std::filesystem::path& directorio, const Descriptor& datos, uint64_t completo) {
  const auto ruta = directorio / kArchivo;
  struct stat info {};
  if (::fstat(datos.fd(), &info) != 0) return FalloSistema(errno, ruta.string());
  std::string todo;
  if (auto leido = archivo_disco::LeerDe(datos, 0, static_cast<uint64_t>(info.st_size), todo, ruta);
      !leido) {
    return leido.Falla();
  }
  const std::string copia = archivo_disco::NombreAparte(ruta.string());
  if (auto copiado = archivo_disco::Copiar(todo, copia); !copiado) return copiado.Falla();
  auto nuevo = Reescribir(directorio, completo,
                          std::string_view(todo).substr(std::min(todo.size(), kCabecera)));
  if (!nuevo) return nuevo.Falla();
  if (auto s = archivo_disco::SincronizarDirectorio(directorio); !s) return s.Falla();
  return std::pair{std::move(nuevo.Dato()), copia};
}

captura::Resultado<DiarioRecepcion::Recuperado> DiarioRecepcion::Leer(
    const std::filesystem::path& directorio) {
  const auto ruta = directorio / kArchivo;
  const Descriptor datos(::open(ruta.c_str(), O_RDONLY | O_CLOEXEC));
  if (!datos.Valido()) return FalloSistema(errno, ruta.string());
  auto contenido = LeerCabecera(datos, ruta);
  if (!contenido) return contenido.Falla();
  Recuperado leido{contenido.Dato().Base, {}};
  auto bytes = archivo_disco::LeerDe(datos, kCabecera, contenido.Dato().Largo, leido.Bytes, ruta);
  if (!bytes) return bytes.Falla();
  return leido;
}

DiarioRecepcion::DiarioRecepcion(Llave, std::filesystem::path directorio, Descriptor datos,
                                 uint64_t base, uint64_t largo, MarcaCompletado marca,
                                 uint64_t umbral)
    : directorio_(std::move(directorio)),
      umbral_(umbral),
      datos_(std::move(datos)),
      base_(base),
      largo_(largo),
      fin_(base + largo),
      marca_(std::move(marca)),
      completo_(std::clamp(marca_.Posicion(), base, base + largo)),
      proximaCompactacion_(base + umbral) {}

// Written whole beside the journal, flushed, then renamed over it: a crash
// leaves either the old file or the new one, never a mix.
captura::Resultado<Descriptor> DiarioRecepcion::Reescribir(const std::filesystem::path& directorio,
                                                           uint64_t base, std::string_view bytes) {
  const auto ruta = directorio / kArchivo;
  const auto nueva = ruta.string() + kSufijoNuevo;
  Descriptor datos(::open(nueva.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (!datos.Valido()) return FalloSistema(errno, nueva);
  auto escrito = archivo_disco::EscribirEn(datos, Cabecera(base), 0, nueva);
  if (escrito) escrito = archivo_disco::EscribirEn(datos, bytes, kCabecera, nueva);
  if (escrito && ::fsync(datos.fd()) != 0) escrito = FalloSistema(errno, nueva);
  if (escrito && ::rename(nueva.c_str(), ruta.c_str()) != 0) escrito = FalloSistema(errno, nueva);
  if (!escrito) {
    ::unlink(nueva.c_str());
    return escrito.Falla();
  }
  return datos;
}

// Once renamed the new file is the journal, but until the directory is
// flushed a power cut may bring back the old one; no append counts as safe
// before that.
captura::Estado DiarioRecepcion::AsegurarDirectorio() {
  if (!directorioSinAsegurar_) return {};
  auto sincronizado = archivo_disco::SincronizarDirectorio(directorio_);
  if (sincronizado) directorioSinAsegurar_ = false;
  return sincronizado;
}

captura::Estado DiarioRecepcion::Agregar(std::string_view bytes) {
  std::lock_guard bloqueo(escritura_);
  sinAsegurar_.append(bytes);
  fin_ += bytes.size();
  return Anotar(Asegurar());
}

// Writes what is not on disk yet behind what is, and flushes it. After a
// failure everything is written again: a failed flush may have dropped pages
// the kernel no longer counts as unwritten.
captura::Estado DiarioRecepcion::Asegurar() {
  sinAsegurarLargo_ = sinAsegurar_.size();
  if (auto directorio = AsegurarDirectorio(); !directorio) return directorio;
  if (sinAsegurar_.empty()) return {};
  const auto ruta = directorio_ / kArchivo;
  auto escrito = archivo_disco::EscribirEn(datos_, sinAsegurar_, kCabecera + largo_, ruta);
  if (!escrito) return escrito;
  if (::fdatasync(datos_.fd()) != 0) return FalloSistema(errno, ruta.string());
  largo_ += sinAsegurar_.size();
  sinAsegurar_.clear();
  sinAsegurarLargo_ = 0;
  return {};
}

void DiarioRecepcion::Completado(uint64_t posicion) {
  // A position past the last byte cannot be done yet; taking it would
  // swallow bytes still to come.
  posicion = std::min(posicion, fin_.load());
  {
    std::lock_guard bloqueo(marcaMutex_);
    if (posicion <= completo_) return;
    completo_ = posicion;
    static_cast<void>(Anotar(marca_.Escribir(posicion)));
  }
  if (posicion >= proximaCompactacion_) static_cast<void>(Compactar());
}

captura::Estado DiarioRecepcion::Compactar() {
  std::lock_guard bloqueo(escritura_);
  const uint64_t completo = completo_;
  if (completo == base_) return {};
  auto cola = LeerDesde(completo);
  if (!cola) return Anotar(cola.Falla());
  auto nuevo = Reescribir(directorio_, completo, cola.Dato());
  if (!nuevo) {
    // Tried again only after as many more bytes are done, not at every line.
    proximaCompactacion_ = completo + umbral_;
    return Anotar(nuevo.Falla());
  }
  datos_ = std::move(nuevo.Dato());
  directorioSinAsegurar_ = true;
  base_ = completo;
  largo_ = cola.Dato().size();
  sinAsegurar_.clear();
  sinAsegurarLargo_ = 0;
  proximaCompactacion_ = completo + umbral_;
  return Anotar(AsegurarDirectorio());
}

captura::Resultado<DiarioRecepcion::Recuperado> DiarioRecepcion::Recuperar() const {
  std::lock_guard bloqueo(escritura_);
  const uint64_t completo = completo_;
  auto bytes = LeerDesde(completo);
  if (!bytes) return bytes.Falla();
  return Recuperado{completo, std::move(bytes.Dato())};
}

// The bytes from a position to the end: those on disk, then those not yet.
captura::Resultado<std::string> DiarioRecepcion::LeerDesde(uint64_t posicion) const {
  const uint64_t salto = posicion - base_;
  std::string bytes;
  if (salto < largo_) {
    auto leido = archivo_disco::LeerDe(datos_, kCabecera + salto, largo_ - salto, bytes,
                                       directorio_ / kArchivo);
    if (!leido) return leido.Falla();
  }
  bytes.append(std::string_view(sinAsegurar_)
                   .substr(std::min(sinAsegurar_.size(), salto - std::min(salto, largo_))));
  return bytes;
}

captura::Estado DiarioRecepcion::Anotar(captura::Estado estado) {
  if (!estado) {
    std::lock_guard bloqueo(falloMutex_);
    ultimoFallo_ = estado.Falla();
    ++fallos_;
  }
  return estado;
}

captura::Fallo DiarioRecepcion::UltimoFallo() const {
  std::lock_guard bloqueo(falloMutex_);
  return ultimoFallo_;
}
