#pragma once

#include <cstdint>
#include <filesystem>

#include "captura/Descriptor.h"
#include "captura/Resultado.h"

// The stream position before which every received byte is done, kept in a
// small file of two slots written in turn: a write torn by a crash spoils one
// slot at most, and the other still holds an earlier position. Writes are not
// flushed to disk: a mark lost in a power cut only sends a few lines once
// more through the duplicate-checked path, and costs no fsync per line.
class MarcaCompletado {
 public:
  // Creates the file when missing (position 0).
  static captura::Resultado<MarcaCompletado> Abrir(const std::filesystem::path& ruta);

  uint64_t Posicion() const { return posicion_; }
  captura::Estado Escribir(uint64_t posicion);

 private:
  MarcaCompletado(Descriptor archivo, std::filesystem::path ruta, uint64_t posicion, int ranura);

  Descriptor archivo_;
  std::filesystem::path ruta_;
  uint64_t posicion_;
  int ranura_;  // the slot the next write goes to
};
