#pragma once

#include <QWidget>

#include <string>

#include "llamadas/EstadoCaptura.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;

// The window's designed client area: the text of the current burst, the
// status line and the line of warnings below it, laid out as designed and
// grown with the window.
class PanelEstacion : public QWidget {
  Q_OBJECT

 public:
  explicit PanelEstacion(const EstadoCaptura& estado, QWidget* padre = nullptr);

  // Whose port number or network name the texts name (the service's, once attached).
  void Fuente(const EstadoCaptura& estado) { estado_ = &estado; }

  // The status line; repainted at once.
  void MostrarEstado(const std::string& texto);
  // The text pane; one character per received byte (ISO-8859-1).
  void MostrarLlegada(const std::string& texto);
  // The frame's caption names the source.
  void MostrarOrigen();
  // The line below the status line: wrapped where it is long, the window
  // taller for it; red for an alarm.
  void MostrarAviso(const QString& texto, bool alarma);
  QString TextoAvisos() const;

 protected:
  void resizeEvent(QResizeEvent* evento) override;

 private:
  void Ensanchar();
  void Acomodar();

  const EstadoCaptura* estado_;
  QGroupBox* frameInfo = nullptr;
  QPlainTextEdit* txtLlegada = nullptr;
  QGroupBox* Frame1 = nullptr;
  QLabel* lblInformacion = nullptr;
  QLabel* lblPendientes = nullptr;
};
