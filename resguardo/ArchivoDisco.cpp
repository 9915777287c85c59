#include "resguardo/ArchivoDisco.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace archivo_disco {

captura::Fallo FalloSistema(int numero, const std::string& que) {
  return captura::Fallo{numero, que + ": " + std::strerror(numero)};
}

captura::Estado EscribirEn(const Descriptor& archivo, std::string_view bytes,
                           std::optional<uint64_t> desplazamiento,
                           const std::filesystem::path& ruta) {
  while (!bytes.empty()) {
    const ssize_t n = desplazamiento ? ::pwrite(archivo.fd(), bytes.data(), bytes.size(),
                                                static_cast<off_t>(*desplazamiento))
                                     : ::write(archivo.fd(), bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return FalloSistema(n < 0 ? errno : EIO, ruta.string());
    bytes.remove_prefix(static_cast<size_t>(n));
    if (desplazamiento) *desplazamiento += static_cast<uint64_t>(n);
  }
  return {};
}

captura::Resultado<Descriptor> Reemplazar(const std::string& ruta, const std::string& temporal,
                                          std::initializer_list<std::string_view> piezas,
                                          const Reemplazo& como) {
  Descriptor nuevo = CrearNuevo(temporal, como.Acceso, como.Permisos);
  if (!nuevo.Valido()) return FalloSistema(errno, temporal);
  if (como.Anterior) {
    ::fchmod(nuevo.fd(), como.Anterior->st_mode & 07777);
    // Not allowed to another user: the file stays the station's.
    [[maybe_unused]] const int r =
        ::fchown(nuevo.fd(), como.Anterior->st_uid, como.Anterior->st_gid);
  }
  captura::Estado escrito;
  for (const auto pieza : piezas) {
    if (escrito) escrito = EscribirEn(nuevo, pieza, std::nullopt, temporal);
  }
  if (escrito && ::fsync(nuevo.fd()) != 0) escrito = FalloSistema(errno, temporal);
  if (escrito && ::rename(temporal.c_str(), ruta.c_str()) != 0) escrito = FalloSistema(errno, ruta);
  if (!escrito) {
    ::unlink(temporal.c_str());
    return escrito.Falla();
  }
  // A failure here costs only the rename's durability; whoever must know flushes again.
  static_cast<void>(SincronizarDirectorioDe(ruta));
  return nuevo;
}

captura::Estado LeerDe(const Descriptor& archivo, uint64_t desplazamiento, uint64_t largo,
                       std::string& destino, const std::filesystem::path& ruta) {
  const size_t inicio = destino.size();
  destino.resize(inicio + largo);
  size_t leido = 0;
  while (leido < largo) {
    const ssize_t n = ::pread(archivo.fd(), destino.data() + inicio + leido, largo - leido,
                              static_cast<off_t>(desplazamiento + leido));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      destino.resize(inicio);
      // End of file before the length the journal knows of: cut short behind our back.
      return FalloSistema(n < 0 ? errno : EIO, ruta.string());
    }
    leido += static_cast<size_t>(n);
  }
  return {};
}

captura::Resultado<uint64_t> Tamano(const Descriptor& archivo, const std::filesystem::path& ruta) {
  struct stat info {};
  if (::fstat(archivo.fd(), &info) != 0) return FalloSistema(errno, ruta.string());
  return static_cast<uint64_t>(info.st_size);
}

uint32_t Crc32(std::string_view bytes, uint32_t previo) {
  return static_cast<uint32_t>(::crc32(previo, reinterpret_cast<const Bytef*>(bytes.data()),
                                       static_cast<uInt>(bytes.size())));
}

captura::Estado SincronizarDirectorio(const std::filesystem::path& directorio) {
  const Descriptor dir(::open(directorio.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.Valido() || ::fsync(dir.fd()) != 0) return FalloSistema(errno, directorio.string());
  return {};
}

captura::Estado SincronizarDirectorioDe(const std::filesystem::path& archivo) {
  const auto directorio = archivo.parent_path();
  return SincronizarDirectorio(directorio.empty() ? "." : directorio);
}

Descriptor CrearNuevo(const std::string& ruta, int acceso, mode_t permisos) {
  if (::unlink(ruta.c_str()) != 0 && errno != ENOENT) return Descriptor();
  return Descriptor(
      ::open(ruta.c_str(), acceso | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, permisos));
}

Descriptor AbrirPropio(const std::string& ruta, int acceso, bool crear) {
  return Descriptor(
      ::open(ruta.c_str(), acceso | O_NOFOLLOW | O_CLOEXEC | (crear ? O_CREAT : 0), 0600));
}

std::string NombreAparte(const std::string& ruta) {
  const std::time_t ahora = std::time(nullptr);
  std::tm local{};
  localtime_r(&ahora, &local);
  char sello[32];
  std::strftime(sello, sizeof sello, "%Y%m%d-%H%M%S", &local);
  std::string nombre = ruta + ".danado-" + sello;
  std::error_code error;
  for (int n = 2; std::filesystem::exists(std::filesystem::symlink_status(nombre, error)); ++n) {
    nombre = ruta + ".danado-" + sello + "-" + std::to_string(n);
  }
  return nombre;
}

namespace {

captura::Estado CrearCopia(const std::string& ruta,
                           const std::function<captura::Estado(const Descriptor&)>& llenar) {
  const Descriptor f(
      ::open(ruta.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!f.Valido()) return FalloSistema(errno, ruta);
  if (auto e = llenar(f); !e) return e;
  if (::fsync(f.fd()) != 0) return FalloSistema(errno, ruta);
  return SincronizarDirectorioDe(ruta);
}

}  // namespace

captura::Estado Copiar(std::string_view bytes, const std::string& ruta) {
  return CrearCopia(ruta, [&](const Descriptor& f) { return EscribirEn(f, bytes, 0, ruta); });
}

captura::Estado CopiarArchivo(const Descriptor& origen, const std::filesystem::path& rutaOrigen,
                              const std::string& ruta) {
  return CrearCopia(ruta, [&](const Descriptor& f) -> captura::Estado {
    const auto tamano = Tamano(origen, rutaOrigen);
    if (!tamano) return tamano.Falla();
    const uint64_t total = tamano.Dato();
    std::string pieza;
    for (uint64_t hecho = 0; hecho < total; hecho += pieza.size()) {
      pieza.clear();
      auto leido = LeerDe(origen, hecho, std::min(kPieza, total - hecho), pieza, rutaOrigen);
      if (!leido) return leido;
      if (auto e = EscribirEn(f, pieza, hecho, ruta); !e) return e;
    }
    return {};
  });
}

// splitmix64's finaliser: every bit of the number moves about half the bits
// of the result, so half of an old value and half of a new one never match.
uint64_t Control(uint64_t numero) {
  uint64_t z = numero + 0x9e3779b97f4a7c15ULL;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

}  // namespace archivo_disco
