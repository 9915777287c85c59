#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Root writes files whatever their permissions say. A test that needs a file
// read-only for the station, as it is for the station's usual user, takes
// that power from the calling thread while it lives; threads started
// meanwhile never have it.
class SinSaltarPermisos {
 public:
  SinSaltarPermisos() { Cambiar(false); }
  ~SinSaltarPermisos() { Cambiar(true); }
  SinSaltarPermisos(const SinSaltarPermisos&) = delete;
  SinSaltarPermisos& operator=(const SinSaltarPermisos&) = delete;

 private:
  static void Cambiar(bool poder) {
    __user_cap_header_struct cabecera{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct datos[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &cabecera, datos) != 0) return;
    constexpr unsigned kBit = 1u << CAP_DAC_OVERRIDE;
    datos[0].effective =
        poder ? datos[0].effective | (datos[0].permitted & kBit) : datos[0].effective & ~kBit;
    static_cast<void>(::syscall(SYS_capset, &cabecera, datos));
  }
};
