#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

// The exchange's end of a serial line: a pseudo-terminal whose other end is
// linked as COMn in a program directory. The link goes when the object goes.
// Every wait also ends when the descriptor parar (if any) becomes readable;
// a negative time limit waits for ever.
class PuertoSimulado {
 public:
  // Throws std::system_error when the terminal or the link cannot be made.
  PuertoSimulado(const std::filesystem::path& directorio, int puerto, int parar = -1);
  ~PuertoSimulado();
  PuertoSimulado(const PuertoSimulado&) = delete;
  PuertoSimulado& operator=(const PuertoSimulado&) = delete;

  const std::filesystem::path& Enlace() const { return enlace_; }
  const std::string& Esclavo() const { return esclavo_; }

  // Writes every byte, waiting while the line is full. False when stopped.
  bool Enviar(std::string_view bytes);
  // Waits until a program opens the line. False when stopped or timed out.
  bool EsperarApertura(std::chrono::milliseconds limite);
  // Waits until the program has read every byte sent. False when stopped or
  // timed out (closing the terminal earlier would throw those bytes away).
  bool EsperarLectura(std::chrono::milliseconds limite);

 private:
  // poll on the terminal and the stop descriptor; false when stopped or timed out.
  bool Esperar(short eventos, std::chrono::milliseconds limite, short& obtenidos);
  int PorLeer();

  int maestro_ = -1;
  int testigo_ = -1;  // our own opening of the far end, once the program has it
  int parar_ = -1;
  std::string esclavo_;
  std::filesystem::path enlace_;
};
