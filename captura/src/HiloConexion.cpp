#include "HiloConexion.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace captura {
namespace {

std::atomic<int> abandonados{0};

}  // namespace

// What the caller and the thread share; the thread holds it to its end.
struct HiloConexion::Turno {
  std::mutex mutex;
  std::condition_variable cambio;
  std::shared_ptr<ManejadorEntorno> entorno;  // outlives the connection
  std::string cadena;
  std::unique_ptr<Conexion> conexion;  // used by the thread only
  std::function<void()> pendiente;
  bool hecho = false;
  bool salir = false;
  bool abandonado = false;
  // Read by the caller between pieces of work.
  bool abierta = false;
  bool rota = false;
};

HiloConexion::HiloConexion(std::shared_ptr<ManejadorEntorno> entorno, std::string cadena)
    : cadena_(std::move(cadena)), turno_(std::make_shared<Turno>()) {
  turno_->entorno = std::move(entorno);
  turno_->cadena = cadena_;
  hilo_ = std::thread(&HiloConexion::Servir, turno_);
}

HiloConexion::~HiloConexion() {
  if (!hilo_.joinable()) return;
  {
    std::lock_guard candado(turno_->mutex);
    turno_->salir = true;
  }
  turno_->cambio.notify_all();
  hilo_.join();
}

int HiloConexion::Abandonados() { return abandonados.load(); }

bool HiloConexion::Abierta() const {
  std::lock_guard candado(turno_->mutex);
  return turno_->abierta;
}

bool HiloConexion::Rota() const {
  std::lock_guard candado(turno_->mutex);
  return turno_->rota;
}

void HiloConexion::Servir(std::shared_ptr<Turno> turno) {
  std::unique_lock candado(turno->mutex);
  for (;;) {
    turno->cambio.wait(candado, [&] { return turno->pendiente || turno->salir; });
    if (!turno->pendiente) break;
    auto trabajo = std::move(turno->pendiente);
    turno->pendiente = nullptr;
    candado.unlock();
    trabajo();
    candado.lock();
    turno->hecho = true;
    // Told with the mutex free, so the caller does not wake only to wait for it.
    candado.unlock();
    turno->cambio.notify_all();
    candado.lock();
    if (turno->abandonado) {
      --abandonados;
      break;
    }
  }
  candado.unlock();
  turno->conexion.reset();
}

std::optional<Estado> HiloConexion::Ejecutar(const Trabajo& trabajo,
                                             std::chrono::milliseconds limite) {
  // An embedded file cannot stop answering: its work runs here, without the
  // hand-over to the thread (the thread is idle between pieces of work).
  if (turno_->conexion && turno_->conexion->Embebida()) {
    Estado e = trabajo(*turno_->conexion);
    std::lock_guard candado(turno_->mutex);
    turno_->rota = turno_->conexion->Rota();
    return e;
  }
  // The result lives apart from the caller: after a time-out the work ends
  // with nobody waiting.
  auto resultado = std::make_shared<Estado>();
  Turno* t = turno_.get();
  std::unique_lock candado(t->mutex);
  t->hecho = false;
  t->pendiente = [t, trabajo, resultado] {
    Estado e;
    if (!t->conexion) {
      auto abierta = Conexion::Abrir(t->entorno->get(), t->cadena);
      if (abierta) {
        t->conexion = std::move(abierta.Dato());
      } else {
        e = abierta.Falla();
      }
    }
    if (t->conexion) e = trabajo(*t->conexion);
    std::lock_guard estado(t->mutex);
    *resultado = std::move(e);
    t->abierta = t->conexion != nullptr;
    t->rota = t->conexion && t->conexion->Rota();
  };
  candado.unlock();
  t->cambio.notify_all();
  candado.lock();
  if (!t->cambio.wait_for(candado, limite, [t] { return t->hecho; })) {
    t->abandonado = true;
    ++abandonados;
    hilo_.detach();
    return std::nullopt;
  }
  return std::move(*resultado);
}

}  // namespace captura
