#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "captura/Descriptor.h"
#include "captura/Resultado.h"
#include "resguardo/MarcaCompletado.h"

// Every byte taken from the serial line, kept on disk until the line it
// belongs to is done, so a crash or a power cut loses nothing that left the
// exchange's cable. Bytes are placed by their position in the received
// stream, which goes on across restarts and compactions.
//
// The journal file holds a header with the position of its first byte (the
// base) and then one record per append: its stream position, its length, a
// CRC-32 and the bytes. A damaged record is skipped and reading goes on at the
// next intact one, so damage costs only the bytes it hit. A companion file
// holds the position before which everything is done. Dropping done bytes
// writes a new file and renames it over the old one, so at every moment one
// whole file is on disk. Files of the older form (the bytes bare after the
// header) are read and rewritten in records when opened.
//
// Agregar runs on the serial reader's thread; Completado, Compactar and
// Recuperar on any other thread.
class DiarioRecepcion {
 public:
  static constexpr char kArchivo[] = "recepcion.diario";
  static constexpr char kArchivoCompletado[] = "recepcion.completado";
  // Done bytes are dropped once this many have gathered at the front.
  static constexpr uint64_t kUmbralPorDefecto = 256 * 1024;

  struct Recuperado {
    uint64_t Posicion = 0;  // stream position of the first byte
    std::string Bytes;
  };
  // Stretches of bytes in stream order; damage leaves a gap between two, and
  // a line cut by a gap must not be joined to the bytes after it.
  using Tramos = std::vector<Recuperado>;
  // Where each record sits in the file, after the header.
  struct Marco {
    uint64_t Posicion = 0;
    uint64_t Desplazamiento = 0;
    uint32_t Largo = 0;
  };

  class Llave {
    friend class DiarioRecepcion;
    Llave() = default;
  };

  // Opens, or creates, the journal in the given directory.
  static captura::Resultado<std::unique_ptr<DiarioRecepcion>> Abrir(
      const std::filesystem::path& directorio, uint64_t umbral = kUmbralPorDefecto);
  // What the journal file in a directory holds, from its base on, read
  // without opening the journal; never empty (one empty stretch at the base).
  static captura::Resultado<Tramos> Leer(const std::filesystem::path& directorio);

  DiarioRecepcion(Llave, std::filesystem::path directorio, Descriptor datos, uint64_t base,
                  std::vector<Marco> indice, uint64_t largo, uint64_t fin, MarcaCompletado marca,
                  uint64_t umbral);
  DiarioRecepcion(const DiarioRecepcion&) = delete;
  DiarioRecepcion& operator=(const DiarioRecepcion&) = delete;

  // Appends the bytes and flushes them to disk before returning. Bytes that
  // cannot be written are kept and written again with the next append or
  // compaction, until they are done; the failure is counted.
  captura::Estado Agregar(std::string_view bytes) { return Agregar(fin_, bytes); }
  // The same for bytes at a stream position at or past the end: past it
  // when they do not continue what came before (a gap).
  captura::Estado Agregar(uint64_t posicion, std::string_view bytes);
  // Everything before the position is done. Not flushed to disk; drops the
  // done bytes once enough have gathered, and at once those not written yet.
  void Completado(uint64_t posicion);
  // Drops the done bytes now.
  captura::Estado Compactar();
  // The bytes received and not done, each stretch with the position of its
  // first byte; never empty (one empty stretch at the done position).
  captura::Resultado<Tramos> Recuperar() const;

  uint64_t Fin() const { return fin_; }  // position after the last byte appended
  uint64_t Completo() const { return completo_; }
  uint64_t Base() const { return base_; }
  // Bytes appended that are not on disk yet (after a failed write).
  uint64_t SinAsegurar() const { return sinAsegurarLargo_; }
  // Failed writes so far, and the last one.
  uint64_t Fallos() const { return fallos_; }
  captura::Fallo UltimoFallo() const;
  // Damage found when the journal was opened (the intact bytes were recovered).
  const std::optional<captura::Fallo>& Dano() const { return dano_; }

 private:
  static captura::Resultado<Descriptor> Reescribir(const std::filesystem::path& directorio,
                                                   uint64_t base, std::string_view cuerpo);
  captura::Estado Asegurar();
  captura::Estado AsegurarDirectorio();
  captura::Resultado<Tramos> LeerDesde(uint64_t posicion) const;
  captura::Estado Anotar(captura::Estado estado);

  const std::filesystem::path directorio_;
  const uint64_t umbral_;

  mutable std::mutex escritura_;  // the journal file and what goes with it
  Descriptor datos_;
  std::atomic<uint64_t> base_;
  std::vector<Marco> indice_;  // the records on disk
  uint64_t largo_;             // bytes in the file after the header, all on disk
  Tramos sinAsegurar_;         // bytes after them, not yet on disk
  std::atomic<uint64_t> sinAsegurarLargo_ = 0;
  std::atomic<uint64_t> fin_;
  bool directorioSinAsegurar_ = false;  // a rename not yet flushed

  std::mutex marcaMutex_;
  MarcaCompletado marca_;
  std::atomic<uint64_t> completo_;
  std::atomic<uint64_t> proximaCompactacion_;

  mutable std::mutex falloMutex_;
  captura::Fallo ultimoFallo_;
  std::atomic<uint64_t> fallos_ = 0;
  std::optional<captura::Fallo> dano_;
};
