#pragma once

#include <functional>
#include <string>
#include <string_view>

// Cuts received text into call lines: the 80 characters right before each
// carriage return, whatever they hold. The last 80 characters of the stream
// are carried into the next text, so the same stream gives the same lines
// however it was split into reads. Text is carried only across contiguous
// bytes: at a gap the caller drops it with Cortar.
class EnmarcadorLineas {
 public:
  // Called for every carriage return of the new text, in order: the line it
  // closes (empty when it closes none) and the position in the new text
  // right after it.
  using PorRetorno = std::function<void(std::string_view linea, std::size_t trasRetorno)>;

  void Enmarcar(std::string_view texto, const PorRetorno& porRetorno);

  // Drops the carried text: what comes next does not continue it. Returns
  // the line it had begun (the text after its last carriage return).
  std::string Cortar();

  // The line begun and not ended yet.
  std::string_view Empezada() const;

  // Characters at the end of the stream that a line may still use.
  std::size_t Arrastre() const { return pendiente_.size(); }

 private:
  std::string pendiente_;  // the stream's last 80 characters at most
};
