#pragma once

// Raises a flag for the life of a scope and lowers it on every way out, an
// exception included, so a handler that failed never stays "running".
class EnCurso {
 public:
  explicit EnCurso(bool& bandera) : bandera_(bandera) { bandera_ = true; }
  ~EnCurso() { bandera_ = false; }
  EnCurso(const EnCurso&) = delete;
  EnCurso& operator=(const EnCurso&) = delete;

 private:
  bool& bandera_;
};
