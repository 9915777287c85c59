#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "llamadas/ReceptorLlamadas.h"
#include "resguardo/Bitacora.h"
#include "resguardo/ColaPendientes.h"
#include "resguardo/DiarioRecepcion.h"
#include "resguardo/GestorPendientes.h"

class Comm;

// Keeps every received call safe until it is stored: the receive journal on
// disk, the lines a crash left unprocessed, and the queue of postings that
// failed. Needs no display: the window shows Resumen and drives Reintentar.
class ResguardoCaptura {
 public:
  ResguardoCaptura(const std::string& directorio, Comm& comm, ReceptorLlamadas& receptor,
                   ReceptorLlamadas::CrearTelefono crearTelefono, Bitacora::Sumidero sumidero = {});
  ResguardoCaptura(const ResguardoCaptura&) = delete;
  ResguardoCaptura& operator=(const ResguardoCaptura&) = delete;
  ~ResguardoCaptura();

  // Before the port opens: attaches the journal to the port and hands the
  // lines received before an unexpected end to the checked re-post path.
  void Iniciar();
  // The bytes thrown away when the port opened end at this position.
  void Descartados(uint64_t fin);
  // Re-posts kept lines when an attempt is due; reports new journal failures.
  void Reintentar();
  std::optional<GestorPendientes::Instante> ProximoIntento() const;

  std::size_t Pendientes() const { return gestor_.Pendientes(); }
  std::size_t Aparcadas() const { return gestor_.Aparcadas(); }
  bool DiarioActivo() const { return diario_ != nullptr; }
  GestorPendientes& Gestor() { return gestor_; }
  Bitacora& Registro() { return bitacora_; }
  // The line the window shows: what waits, damaged files, and a journal
  // that cannot write.
  std::string Resumen() const;
  // Told whenever Resumen may have changed.
  void AlCambiar(std::function<void()> aviso);

 private:
  void AbrirDiario();
  void Recuperar();
  void VigilarDiario();

  const std::string directorio_;
  Comm& comm_;
  ReceptorLlamadas& receptor_;
  Bitacora bitacora_;
  ColaPendientes cola_;
  GestorPendientes gestor_;
  std::unique_ptr<DiarioRecepcion> diario_;
  uint64_t fallosVistos_ = 0;
  bool diarioFallando_ = false;
  std::optional<std::chrono::system_clock::time_point> llegadaRecuperada_;
  std::function<void()> alCambiar_;
};
