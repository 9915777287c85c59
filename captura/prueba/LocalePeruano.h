#pragma once

#include <clocale>
#include <string>

// A Peruvian hotel: day-first dates and a decimal comma in the locale, for
// the life of the object.
class LocalePeruano {
 public:
  LocalePeruano() : previo_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, "es_PE.UTF-8") != nullptr;
  }
  ~LocalePeruano() { std::setlocale(LC_ALL, previo_.c_str()); }
  LocalePeruano(const LocalePeruano&) = delete;
  LocalePeruano& operator=(const LocalePeruano&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string previo_;
  bool ok_ = false;
};
