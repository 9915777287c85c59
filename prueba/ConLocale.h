#pragma once

#include <clocale>
#include <string>

// One locale category switched for the life of the object, then put back.
class ConLocale {
 public:
  ConLocale(int categoria, const char* nombre)
      : categoria_(categoria), previo_(std::setlocale(categoria, nullptr)) {
    ok_ = std::setlocale(categoria, nombre) != nullptr;
  }
  ~ConLocale() { std::setlocale(categoria_, previo_.c_str()); }
  ConLocale(const ConLocale&) = delete;
  ConLocale& operator=(const ConLocale&) = delete;
  bool ok() const { return ok_; }

 private:
  int categoria_;
  std::string previo_;
  bool ok_ = false;
};

// A Peruvian hotel: day-first dates and a decimal comma.
class LocalePeruano : public ConLocale {
 public:
  LocalePeruano() : ConLocale(LC_ALL, "es_PE.UTF-8") {}
};
