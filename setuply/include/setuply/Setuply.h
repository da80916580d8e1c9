// Setuply: the functions an installer script calls. Every text is narrow, in the ANSI code
// page (GBK); a text result is copied with its NUL into the caller's buffer, which must hold
// kSetuplyBufferSize bytes (the installer's string length); longer texts are cut there.
#pragma once

#define SETUPLY_API extern "C" __attribute__((visibility("default")))

/// Bytes of each caller's text buffer, NUL included (the installer's string length).
inline constexpr int kSetuplyBufferSize = 1024;

/// \brief Asks for the record server's alias and address (dialog 18000): 1 after OK with the
/// texts shown, 0 after Cancel with "主服务器" and "192.168.0.1".
SETUPLY_API int DlgAskIP(char* alias, char* ip);

/// \brief Asks for the SQL Server name, its memory in MB, the administrator and password
/// (dialog 18001): 1 after OK, 0 after Cancel with "(local)", "1024", "sa" and "".
SETUPLY_API int DlgAskSQL(char* server, char* memoryMB, char* admin, char* password);

/// \brief Adds (or moves) the virtual directory `name` at `docBase` as a Context element of
/// the first Host element of the application server's configuration `xmlFile`; 1 when saved.
SETUPLY_API int JBossVirtual(const char* xmlFile, const char* name, const char* docBase);

/// \brief Runs one SQL statement on `server` ("name[/database]") as `login`
/// ("user[/password]"); 1 when it ran, 0 otherwise.
SETUPLY_API int SQLCommand(const char* server, const char* login, const char* sql);

/// \brief Asks for the Z39.50 duplicate-check server, lets the user test it and writes the
/// choice into installDir's Bibliora.ini and bin/Config.xml: 2, or 0 when Config.xml cannot
/// be read or written.
SETUPLY_API int Z3950Server(const char* installDir);
