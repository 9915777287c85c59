#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "captura/Descriptor.h"
#include "captura/Resultado.h"

// The station's one disk layer: plain file steps the journal, the queue and
// the settings file are made of, each reporting the system's error with the
// file it concerns.
namespace archivo_disco {

captura::Fallo FalloSistema(int numero, const std::string& que);

// Writes every byte at the given offset (at the file's current place when
// none), resuming after short writes.
captura::Estado EscribirEn(const Descriptor& archivo, std::string_view bytes,
                           std::optional<uint64_t> desplazamiento,
                           const std::filesystem::path& ruta);
// Reads exactly largo bytes from the offset onto the end of destino.
captura::Estado LeerDe(const Descriptor& archivo, uint64_t desplazamiento, uint64_t largo,
                       std::string& destino, const std::filesystem::path& ruta);
// Makes a rename or a new entry in the directory survive a power cut.
captura::Estado SincronizarDirectorio(const std::filesystem::path& directorio);
// The same for the directory that holds `archivo` ("." for a bare name).
captura::Estado SincronizarDirectorioDe(const std::filesystem::path& archivo);

// A new file of the station's own at ruta, opened with acceso (O_RDWR, ...),
// readable by its owner only unless told otherwise: whatever stood at the name (a file a crash
// left, a symbolic link) is removed first, and the file is created
// exclusively, never through a link. Invalid, with errno set, on failure.
Descriptor CrearNuevo(const std::string& ruta, int acceso, mode_t permisos = 0600);
// Opens one of the station's own files that may exist, never through a link.
Descriptor AbrirPropio(const std::string& ruta, int acceso, bool crear = false);

// How Reemplazar makes the new file.
struct Reemplazo {
  int Acceso = O_WRONLY;   // O_WRONLY or O_RDWR
  mode_t Permisos = 0600;  // the umask applies
  // The file replaced: the new one keeps its permissions and, where the
  // system allows it, its owner.
  std::optional<struct stat> Anterior;
};
// Replaces the file at `ruta` whole: the pieces go to a new file at
// `temporal` (see CrearNuevo), flushed, renamed over `ruta`, then the
// directory is flushed, so a crash at any point leaves the old file or the
// new one, never a mix. The open new file, at its end; on a failure the
// temporary is removed and the failure names the file of the step.
captura::Resultado<Descriptor> Reemplazar(const std::string& ruta, const std::string& temporal,
                                          std::initializer_list<std::string_view> piezas,
                                          const Reemplazo& como = {});

// A free name beside the file for a damaged copy of it, by the local time:
// "pendientes.dat.danado-AAAAMMDD-HHMMSS".
std::string NombreAparte(const std::string& ruta);
// Files are read in pieces of this size, so a large one never sits whole in memory.
inline constexpr uint64_t kPieza = 64 * 1024;

// A new file with these bytes, readable by its owner only, on disk (with its
// directory entry) before this returns.
captura::Estado Copiar(std::string_view bytes, const std::string& ruta);
// The same with every byte of an open file, read in pieces.
captura::Estado CopiarArchivo(const Descriptor& origen, const std::filesystem::path& rutaOrigen,
                              const std::string& ruta);

// The size of an open file.
captura::Resultado<uint64_t> Tamano(const Descriptor& archivo, const std::filesystem::path& ruta);
// CRC-32 (zlib's), going on from a previous value.
uint32_t Crc32(std::string_view bytes, uint32_t previo = 0);

// A check value for a stored number, so a torn or foreign write is noticed.
uint64_t Control(uint64_t numero);

}  // namespace archivo_disco
