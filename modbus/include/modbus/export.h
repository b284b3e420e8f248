#pragma once

#include <QtGlobal>

// The component class crosses its shared library's boundary by address (signals are connected
// by member function pointer), so programs must import it as such from the Windows DLL.
#ifdef modbus_EXPORTS
#define MODBUS_EXPORT Q_DECL_EXPORT
#else
#define MODBUS_EXPORT Q_DECL_IMPORT
#endif
