// CScriptel: the JavaScript engine of ScriptelU. One engine holds one script context: the
// files named at Startup are run in order, and each record given with SetParameters is
// handed to the script's function `process(text)`, whose answer GetResult copies out.
//
// A rule script is a plain JavaScript file:
//
//   function process(text) {            // text: internal record text, no record prefix
//     var rec = new MarcRecord(text);   // helpers of qzmarc.js, loaded before the rule
//     if (rec.getSubfield("200", "a") == "") return "null";
//     rec.setSubfield("801", "a", "CN");
//     return rec.toString();            // or "stop" / "null"
//   }
//
// A `process` that returns null or undefined answers "null". A script that fails (a syntax
// error, an exception, no `process`) answers the record unchanged and the error is written
// to standard error and kept for GetLastError, GetLastErrorFile and GetLastErrorLine: a
// broken rule never loses the record, and its host can say where it broke. So does a script
// that Interrupt stops (one that runs too long, or is no longer wanted).
//
// An engine is used from one thread, the one that calls Startup (the script engine keeps
// that thread's stack bounds); only Interrupt may come from another.
#pragma once

#include <cstdint>

#define SCRIPTEL_API __attribute__((visibility("default")))

class SCRIPTEL_API CScriptel {
 public:
  CScriptel();
  virtual ~CScriptel();

  /// \brief Starts the engine for `language` ("javascript" in any letter case) and runs the
  /// script files named in `arguments` (each between double quotes, or a blank-free word),
  /// in order. 1 when every file ran, 0 otherwise (a missing or failing file is skipped).
  int32_t Startup(const char16_t* language, const char16_t* arguments);
  /// \brief Runs `process` over `input` and keeps the answer; 1 when the script answered,
  /// 0 when the input is kept as the answer (no engine, no function, an exception).
  int32_t SetParameters(const char16_t* input);
  /// \brief Copies the answer, NUL-terminated, into `buffer` of `length` characters: cut to
  /// length - 1 characters (never inside a surrogate pair) when it does not fit. `length`
  /// becomes the answer's full length; 1 when it was copied whole, 0 when cut.
  int32_t GetResult(char16_t* buffer, int32_t& length);
  /// \brief The engine's message of the last error (empty when none); its length, or 0 with
  /// `buffer` untouched when it does not fit with its NUL.
  int32_t GetLastError(char16_t* buffer, int32_t size);
  /// \brief The script file of the last error (the failing file, else the last one named
  /// at Startup); as GetLastError.
  int32_t GetLastErrorFile(char16_t* buffer, int32_t size);
  /// \brief The line of the last error in its file, 0 when the engine named none.
  int32_t GetLastErrorLine();
  /// \brief Interrupts the script that runs in this engine now (a Startup or SetParameters
  /// on another thread), from any thread: the call ends at once as a failing script does,
  /// its error saying where the script was. Nothing happens when no script runs, and the
  /// engine's next call runs as usual. A host uses it to bound a call's time and to stop one.
  void Interrupt();

 private:
  CScriptel(const CScriptel&) = delete;
  CScriptel& operator=(const CScriptel&) = delete;
  struct Impl;
  Impl* m_impl;
};
