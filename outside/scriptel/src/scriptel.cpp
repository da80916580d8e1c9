#include <scriptel/Scriptel.h>

#include <platform/codepage.h>

#include <QFile>
#include <QJSEngine>
#include <QJSValue>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>

namespace {

QString fromWide(const char16_t* text) { return text ? QString::fromUtf16(text) : QString(); }

/// The script files of a Startup argument text: quoted paths (which may hold blanks) or
/// blank-free words, in order.
QStringList splitArguments(const QString& text) {
  QStringList out;
  qsizetype i = 0, n = text.size();
  while (i < n) {
    if (text[i].isSpace()) { ++i; continue; }
    qsizetype start, end;
    if (text[i] == u'"') {
      start = i + 1;
      end = text.indexOf(u'"', start);
      if (end < 0) end = n;
      i = end + 1;
    } else {
      start = i;
      end = i;
      while (end < n && !text[end].isSpace()) ++end;
      i = end;
    }
    if (end > start) out << text.mid(start, end - start);
  }
  return out;
}

/// Script files written on Windows come as UTF-8 (with or without its mark), UTF-16LE with
/// its mark, or in code page 936; anything that is not valid UTF-8 is read as the latter.
QString decodeScript(const QByteArray& bytes) {
  if (bytes.startsWith("\xFF\xFE"))
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
  QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8(body);
  if (!utf8.hasError()) return text;
  std::u16string wide = platform::toWide(936, std::string_view(body.constData(), size_t(body.size())));
  return QString::fromStdU16String(wide);
}

/// Where a script failed and what the engine said.
struct ScriptFailure {
  QString message, file;
  int line = 0;
};

ScriptFailure describe(const QJSValue& error, const QString& fallbackFile) {
  ScriptFailure f;
  f.message = error.toString();
  // An error that names no file (an interrupted script's) is placed in the file that ran.
  QJSValue fileName = error.property(QStringLiteral("fileName"));
  f.file = fileName.isUndefined() ? QString() : fileName.toString();
  // The engine names the files it was given as URLs.
  if (f.file.startsWith(QStringLiteral("file:"))) f.file = QUrl(f.file).toLocalFile();
  if (f.file.isEmpty()) f.file = fallbackFile;
  f.line = error.property(QStringLiteral("lineNumber")).toInt();
  return f;
}

int32_t copyOut(const QString& text, char16_t* buffer, int32_t size) {
  if (!buffer || size <= 0 || text.size() + 1 > size) return 0;
  std::copy_n(reinterpret_cast<const char16_t*>(text.utf16()), text.size(), buffer);
  buffer[text.size()] = 0;
  return int32_t(text.size());
}

}  // namespace

struct CScriptel::Impl {
  std::mutex engineLock;  // Interrupt, from another thread, against the engine's replacement
  std::unique_ptr<QJSEngine> engine;
  QString answer;
  QString scripts;  // the files of the last Startup, for failures that name none
  ScriptFailure lastError;

  void fail(const ScriptFailure& failure) {
    lastError = failure;
    QString where = failure.file.isEmpty() ? QString() : failure.file + u':';
    if (failure.line > 0) where += QString::number(failure.line) + u':';
    if (!where.isEmpty()) where += u' ';
    std::fprintf(stderr, "ScriptelU: %s%s\n", where.toUtf8().constData(), failure.message.toUtf8().constData());
  }
  void fail(const QString& message) { fail(ScriptFailure{message, scripts, 0}); }

  void replaceEngine(std::unique_ptr<QJSEngine> fresh) {
    std::unique_ptr<QJSEngine> old;
    {
      std::lock_guard g(engineLock);
      old = std::move(engine);
      engine = std::move(fresh);
    }
  }
  // An interruption meant for an earlier call must not end this one.
  void resume() {
    std::lock_guard g(engineLock);
    if (engine) engine->setInterrupted(false);
  }
  // What a call that came back with an error says: the engine's message, or that the call
  // was interrupted, with the place the engine names.
  ScriptFailure failureOf(const QJSValue& error, const QString& file) {
    ScriptFailure f = describe(error, file);
    if (engine->isInterrupted()) f.message = QStringLiteral("the script was interrupted");
    return f;
  }
};

CScriptel::CScriptel() : m_impl(new Impl) {}

CScriptel::~CScriptel() {
  m_impl->replaceEngine(nullptr);
  delete m_impl;
}

int32_t CScriptel::Startup(const char16_t* language, const char16_t* arguments) {
  Impl& d = *m_impl;
  d.replaceEngine(nullptr);
  d.lastError = ScriptFailure();
  d.scripts.clear();
  if (fromWide(language).compare(QStringLiteral("javascript"), Qt::CaseInsensitive) != 0) {
    d.fail(QStringLiteral("unknown script language \"%1\"").arg(fromWide(language)));
    return 0;
  }
  auto engine = std::make_unique<QJSEngine>();
  engine->installExtensions(QJSEngine::ConsoleExtension);
  d.replaceEngine(std::move(engine));
  int32_t ok = 1;
  const QStringList files = splitArguments(fromWide(arguments));
  d.scripts = files.isEmpty() ? QString() : files.back();
  for (const QString& path : files) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
      d.fail(ScriptFailure{QStringLiteral("cannot read the script: %1").arg(file.errorString()), path, 0});
      ok = 0;
      continue;
    }
    d.resume();
    QJSValue result = d.engine->evaluate(decodeScript(file.readAll()), path);
    if (result.isError()) {
      d.fail(d.failureOf(result, path));
      ok = 0;
      // What follows an interrupted script would only be interrupted in its turn.
      if (d.engine->isInterrupted()) break;
    }
  }
  return ok;
}

int32_t CScriptel::SetParameters(const char16_t* input) {
  Impl& d = *m_impl;
  d.answer = fromWide(input);
  if (!d.engine) {
    d.fail(QStringLiteral("the engine has not been started"));
    return 0;
  }
  QJSValue process = d.engine->globalObject().property(QStringLiteral("process"));
  if (!process.isCallable()) {
    d.fail(QStringLiteral("the rule script has no function process(text)"));
    return 0;
  }
  d.resume();
  QJSValue result = process.call({QJSValue(d.answer)});
  if (result.isError()) {
    d.fail(d.failureOf(result, d.scripts));
    return 0;
  }
  d.answer = result.isNull() || result.isUndefined() ? QStringLiteral("null") : result.toString();
  return 1;
}

int32_t CScriptel::GetResult(char16_t* buffer, int32_t& length) {
  const QString& answer = m_impl->answer;
  int32_t room = length;
  length = int32_t(answer.size());
  if (!buffer || room <= 0) return 0;
  int32_t n = std::min(int32_t(answer.size()), room - 1);
  // A cut never leaves the first half of a surrogate pair at the end.
  if (n < answer.size() && n > 0 && answer[n - 1].isHighSurrogate()) --n;
  std::copy_n(reinterpret_cast<const char16_t*>(answer.utf16()), n, buffer);
  buffer[n] = 0;
  return n == answer.size() ? 1 : 0;
}

int32_t CScriptel::GetLastError(char16_t* buffer, int32_t size) { return copyOut(m_impl->lastError.message, buffer, size); }

int32_t CScriptel::GetLastErrorFile(char16_t* buffer, int32_t size) { return copyOut(m_impl->lastError.file, buffer, size); }

int32_t CScriptel::GetLastErrorLine() { return m_impl->lastError.line; }

void CScriptel::Interrupt() {
  std::lock_guard g(m_impl->engineLock);
  if (m_impl->engine) m_impl->engine->setInterrupted(true);
}
