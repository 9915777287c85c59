#pragma once

#include "prueba/TelefonoFalso.h"

// Lends one Telefono (a fake, or a real one under test) to a receive event,
// which owns and releases the loan; counts the loans alive.
class TelefonoPrestado : public captura::_Telefono {
 public:
  TelefonoPrestado(captura::_Telefono& t, int& vivos) : t_(t), vivos_(vivos) { ++vivos_; }
  ~TelefonoPrestado() override { --vivos_; }

  captura::Resultado<std::unique_ptr<captura::Recordset>> ListarTodo(
      const std::string& d) noexcept override {
    return t_.ListarTodo(d);
  }
  captura::Resultado<float> PrecioCostoLocal(const std::string& d, int32_t& p, float& c,
                                             int32_t& m) noexcept override {
    return t_.PrecioCostoLocal(d, p, c, m);
  }
  captura::Estado ReservaHabitacion(int32_t& r, int32_t& h,
                                    const std::string& n) noexcept override {
    return t_.ReservaHabitacion(r, h, n);
  }
  captura::Estado CrearDetalle(int32_t a, int32_t b, int32_t c, int32_t d, float e, float f,
                               const std::string& g, int32_t h, int32_t i, uint8_t j, uint8_t k,
                               const std::string& l, float m, float n, const std::string& o,
                               int32_t p, float q, captura::Fecha r,
                               captura::Fecha s) noexcept override {
    return t_.CrearDetalle(a, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p, q, r, s);
  }
  captura::Estado Crea(const std::string& a, const std::string& b, captura::Fecha c,
                       captura::Fecha d, const std::string& e, const std::string& f, int32_t g,
                       int32_t h, float i, float j, int32_t k, uint8_t l,
                       float m) noexcept override {
    return t_.Crea(a, b, c, d, e, f, g, h, i, j, k, l, m);
  }
  captura::Estado CreaLLamda(const std::string& a, const std::string& b, captura::Fecha c,
                             captura::Fecha d) noexcept override {
    return t_.CreaLLamda(a, b, c, d);
  }
  captura::Resultado<int32_t> ContarDetalles(const captura::ArgsCrearDetalle& a) noexcept override {
    return t_.ContarDetalles(a);
  }
  captura::Resultado<int32_t> ContarLlamadas(const captura::ArgsCrea& a) noexcept override {
    return t_.ContarLlamadas(a);
  }
  captura::Estado Asegurar() noexcept override { return t_.Asegurar(); }
  uint64_t Agrupar() noexcept override { return t_.Agrupar(); }

 private:
  captura::_Telefono& t_;
  int& vivos_;
};
