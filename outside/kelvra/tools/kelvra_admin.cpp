// kelvra-admin: sets up and looks after the record servers of this workstation: local ones
// under $QORVEL_HOME/kelvra, shared ones on a PostgreSQL database.
#include "store/errors.h"
#include "store/store.h"

#include <loomkit/MarcFile.h>

#include <platform/codepage.h>
#include <platform/text.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

using kelvra::Store;

namespace {

const char* kUsage =
    "usage: kelvra-admin COMMAND ARGUMENTS\n"
    "  create-server SERVER                   a new server with the account \"public\"\n"
    "  create-shared-server SERVER CONNECTION a server on a PostgreSQL database (libpq\n"
    "                                         connection string or URI), shared with every\n"
    "                                         workstation that names it so\n"
    "  forget-server SERVER                   drop a shared server from this workstation\n"
    "  add-account SERVER USER [PASSWORD]     add an account or change its password\n"
    "  remove-account SERVER USER\n"
    "  create-db SERVER DATABASE              no extension or .mrc: records; else documents\n"
    "  drop-db SERVER DATABASE                with all its records and documents\n"
    "  import [--from N [--token T]] SERVER DATABASE FILE\n"
    "                                         ISO 2709 records, or internal record text;\n"
    "                                         stops where the server fails and says how to\n"
    "                                         go on from there (record N of the file)\n"
    "  put-document SERVER DATABASE NAME FILE store a file's text as a named document\n"
    "  get-document SERVER DATABASE NAME      print a document\n"
    "  list [SERVER [DATABASE]]               servers; databases and accounts; records\n"
    "  show SERVER DATABASE NUMBER            print one record's internal record text\n"
    "  search SERVER DATABASE QUERY           print the numbers of the hits\n"
    "  remove-record SERVER DATABASE NUMBER\n";

using Args = std::vector<std::u16string>;

int fail(const std::string& what) {
  std::cerr << "kelvra-admin: " << what << "\n";
  return 1;
}

std::string utf8(std::u16string_view s) { return platform::toUtf8(s); }

// "(code 12: permission denied for table records)": the code of a failed call on the store
// with the database's own words for it.
std::string why(Store& store, int32_t code) { return "(" + kelvra::codeAndReason(code, store.reason()) + ")"; }

// A failed call on the store: what could not be done, its code and the database's reason.
int failed(Store& store, const std::string& what, int32_t code) { return fail(what + " " + why(store, code)); }

std::shared_ptr<Store> openServer(const std::u16string& name) {
  int32_t error = 0;
  std::string detail;
  std::shared_ptr<Store> store = Store::open(name, &error, &detail);
  if (!store && (error == kelvra::kStorage || error == kelvra::kRetry))
    fail("cannot open server '" + utf8(name) + "' (" + kelvra::codeAndReason(error, detail) + ")");
  else if (!store)
    fail("no server '" + utf8(name) + "' (code " + std::to_string(error) + ")");
  else if (!store->layoutNote().empty())
    std::cerr << "kelvra-admin: server '" << utf8(name)
              << "' keeps the layout of an earlier version until a workstation whose role owns its tables opens it ("
              << store->layoutNote() << ")\n";
  return store;
}

std::optional<kelvra::DatabaseInfo> openDatabase(Store& store, const std::u16string& name) {
  int32_t error = 0;
  std::optional<kelvra::DatabaseInfo> db = store.findDatabase(name, &error);
  if (!db && error == kelvra::kNoSuchDatabase)
    fail("no database '" + utf8(name) + "' (code " + std::to_string(error) + ")");
  else if (!db)
    failed(store, "cannot open database '" + utf8(name) + "'", error);
  return db;
}

bool readBytes(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// A text file: UTF-16LE after FF FE, UTF-8 (with or without its mark), else the ANSI code page.
std::u16string decodeText(const std::string& bytes) {
  if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE)
    return platform::toWide(-1, std::string_view(bytes).substr(2));
  std::string_view b = bytes;
  if (b.substr(0, 3) == "\xEF\xBB\xBF") b.remove_prefix(3);
  return platform::isValidUtf8(b) ? platform::fromUtf8(b) : platform::toWide(0, b);
}

bool parseNumber(const std::u16string& s, int32_t& n) {
  if (s.empty() || s.size() > 9) return false;
  n = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') return false;
    n = n * 10 + (c - u'0');
  }
  return true;
}

// A shell word as the user would type it again.
std::string shellWord(const std::string& s) {
  if (!s.empty() && s.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_./:=@+,") ==
                        std::string::npos)
    return s;
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Where an import starts: record `from` of the file (counted from 1), the first of them
// stored under `token` when given (the store of a stopped import whose outcome was not known).
struct ImportStart {
  size_t from = 1;
  std::string token;
};

// Stores the records from the start on. A record that is not internal record text is
// refused and the import goes on. Any other failure is the server's (gone, refusing, out
// of time): the record is tried once more under its own token (the store connects again,
// and a store that landed unseen is not made twice; a commit cut off on a layout without
// tokens is not tried again), then the import stops and says where it stopped and how to go
// on from there.
int addRecords(Store& store, const kelvra::DatabaseInfo& db, const std::vector<std::u16string>& records,
               const ImportStart& start, const std::string& rest) {
  int stored = 0, refused = 0;
  auto summary = [&] {
    std::cout << stored << " records stored";
    if (refused) std::cout << ", " << refused << " refused";
    std::cout << "\n" << std::flush;
  };
  for (size_t i = start.from; i <= records.size(); ++i) {
    std::string token = i == start.from && !start.token.empty() ? start.token : Store::newToken();
    int32_t number = 0;
    bool existed = false;
    int32_t rc = store.addRecord(db.id, records[i - 1], &number, token, &existed);
    // Until a store under the token succeeds, a commit that was cut off may have landed. Only
    // a store that keeps its token may be tried again then: without one it could land twice.
    const bool tokens = store.keepsTokens();
    bool inDoubt = rc == kelvra::kInDoubt;
    if (rc == kelvra::kRetry || (rc == kelvra::kInDoubt && tokens))
      rc = store.addRecord(db.id, records[i - 1], &number, token, &existed);
    inDoubt = rc != kelvra::kOk && (inDoubt || rc == kelvra::kInDoubt);
    if (rc == kelvra::kOk && existed && token == start.token) {
      std::cerr << "kelvra-admin: record " << i << " was stored already, as number " << number << "\n";
    } else if (rc == kelvra::kOk) {
      ++stored;
    } else if (rc == kelvra::kBadRecord) {
      ++refused;
      std::cerr << "kelvra-admin: record " << i << " not stored (code " << rc << ")\n";
    } else {
      std::cerr << "kelvra-admin: record " << i << (inDoubt ? " may have been stored " : " not stored ")
                << why(store, inDoubt ? int32_t(kelvra::kInDoubt) : rc) << "\n";
      summary();
      std::cerr << "kelvra-admin: import stopped at record " << i << " of " << records.size()
                << "; go on with: kelvra-admin import --from " << i << (inDoubt && tokens ? " --token " + token : "") << " " << rest
                << "\n";
      return 1;
    }
  }
  summary();
  return refused ? 1 : 0;
}

int importFile(Store& store, const kelvra::DatabaseInfo& db, const std::string& path, const ImportStart& start,
               const std::string& rest) {
  std::string bytes;
  if (!readBytes(path, bytes)) return fail("cannot read " + path);
  std::u16string text = decodeText(bytes);
  std::vector<std::u16string> records;
  if (text.find(u"<marc>") != std::u16string::npos) {
    // Internal record text: every <marc> ... </marc>; a record prefix before each is ignored.
    for (size_t at = 0;;) {
      size_t b = text.find(u"<marc>", at);
      if (b == std::u16string::npos) break;
      size_t e = text.find(u"</marc>", b);
      if (e == std::u16string::npos) return fail("a record in " + path + " has no </marc>");
      e += 7;
      records.push_back(text.substr(b, e - b));
      at = e;
    }
  } else {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return fail("cannot read " + path);
    CMarcFile reader;
    std::vector<char16_t> buf(200000);
    for (;;) {
      int32_t n = reader.ReadFromIso2709(buf.data(), int32_t(buf.size()), fd);
      if (n < 0) break;
      if (n > 0) records.emplace_back(buf.data(), size_t(n));
    }
    ::close(fd);
  }
  if (!db.records) return fail("'" + utf8(db.name) + "' is a document database");
  if (start.from > records.size() && start.from > 1)
    return fail(path + " holds " + std::to_string(records.size()) + " records: there is no record " +
                std::to_string(start.from));
  return addRecords(store, db, records, start, rest);
}

// The options of import, taken out of the arguments: --from N, --token T.
bool importOptions(Args& a, ImportStart& start, std::string& complaint) {
  Args rest;
  for (size_t i = 0; i < a.size(); ++i) {
    if ((a[i] == u"--from" || a[i] == u"--token") && i + 1 >= a.size()) {
      complaint = utf8(a[i]) + " wants a value";
      return false;
    }
    if (a[i] == u"--from") {
      int32_t n = 0;
      if (!parseNumber(a[++i], n) || n < 1) {
        complaint = "not a record of the file: " + utf8(a[i]);
        return false;
      }
      start.from = size_t(n);
    } else if (a[i] == u"--token") {
      start.token = utf8(a[++i]);
      if (start.token.size() != 32 || start.token.find_first_not_of("0123456789abcdef") != std::string::npos) {
        complaint = "not a store token: " + start.token;
        return false;
      }
    } else {
      rest.push_back(a[i]);
    }
  }
  a = std::move(rest);
  return true;
}

int list(const Args& a) {
  if (a.empty()) {
    for (const std::u16string& s : Store::servers())
      std::cout << utf8(s) << (Store::sharedConnection(s) ? " (shared)" : "") << "\n";
    return 0;
  }
  std::shared_ptr<Store> store = openServer(a[0]);
  if (!store) return 1;
  if (a.size() == 1) {
    int32_t error = 0;
    std::vector<kelvra::DatabaseInfo> dbs = store->databases(&error);
    if (error) return failed(*store, "cannot list the databases", error);
    for (const kelvra::DatabaseInfo& db : dbs) {
      std::vector<int32_t> numbers;
      std::vector<std::u16string> docs;
      if (int32_t rc = store->recordNumbers(db.id, numbers)) return failed(*store, "cannot list " + utf8(db.name), rc);
      if (int32_t rc = store->documentNames(db.id, docs)) return failed(*store, "cannot list " + utf8(db.name), rc);
      std::cout << "database " << utf8(db.name) << (db.records ? " (records: " : " (documents only: ")
                << numbers.size() << " records, " << docs.size() << " documents)\n";
    }
    for (const std::u16string& u : store->accounts()) std::cout << "account " << utf8(u) << "\n";
    return 0;
  }
  std::optional<kelvra::DatabaseInfo> db = openDatabase(*store, a[1]);
  if (!db) return 1;
  std::vector<int32_t> numbers;
  std::vector<std::u16string> docs;
  if (int32_t rc = store->recordNumbers(db->id, numbers)) return failed(*store, "cannot list " + utf8(db->name), rc);
  if (int32_t rc = store->documentNames(db->id, docs)) return failed(*store, "cannot list " + utf8(db->name), rc);
  for (int32_t n : numbers) std::cout << "record " << n << "\n";
  for (const std::u16string& d : docs) std::cout << "document " << utf8(d) << "\n";
  return 0;
}

int run(const std::u16string& command, Args a) {
  ImportStart start;
  if (command == u"import") {
    std::string complaint;
    if (!importOptions(a, start, complaint)) return fail(complaint);
  }
  auto need = [&](size_t lo, size_t hi) { return a.size() >= lo && a.size() <= hi; };
  if (command == u"list" && need(0, 2)) return list(a);
  if (command == u"create-server" && need(1, 1)) {
    int32_t error = 0;
    if (!Store::create(a[0], &error)) return fail("cannot create server '" + utf8(a[0]) + "' (taken or unusable name)");
    return 0;
  }
  if (command == u"create-shared-server" && need(2, 2)) {
    int32_t error = 0;
    std::string detail;
    if (Store::createShared(a[0], utf8(a[1]), &error, &detail)) return 0;
    if (error == kelvra::kBadHost && detail.empty())
      return fail("cannot create server '" + utf8(a[0]) + "' (taken or unusable name)");
    if (error == kelvra::kBadHost) return fail("not a PostgreSQL connection: " + detail);
    return fail("cannot set up server '" + utf8(a[0]) + "' on the PostgreSQL database: " + detail);
  }
  if (command == u"forget-server" && need(1, 1))
    return Store::forgetShared(a[0]) ? 0 : fail("no shared server '" + utf8(a[0]) + "'");
  if (a.empty()) return fail(kUsage);
  std::shared_ptr<Store> store;
  auto server = [&]() { return (store = openServer(a[0])) != nullptr; };
  if (command == u"add-account" && need(2, 3)) {
    if (!server()) return 1;
    int32_t rc = store->putAccount(a[1], a.size() > 2 ? a[2] : u"");
    if (rc == kelvra::kBadHost) return fail("cannot store the account (unusable name)");
    return rc ? failed(*store, "cannot store the account", rc) : 0;
  }
  if (command == u"remove-account" && need(2, 2)) {
    if (!server()) return 1;
    int32_t rc = store->removeAccount(a[1]);
    if (rc == kelvra::kLoginFailed) return fail("no account '" + utf8(a[1]) + "'");
    return rc ? failed(*store, "cannot remove account '" + utf8(a[1]) + "'", rc) : 0;
  }
  if (command == u"create-db" && need(2, 2)) {
    if (!server()) return 1;
    int32_t rc = store->createDatabase(a[1]);
    if (rc == kelvra::kBadHost) return fail("cannot create database '" + utf8(a[1]) + "' (taken or unusable name)");
    return rc ? failed(*store, "cannot create database '" + utf8(a[1]) + "'", rc) : 0;
  }
  if (need(2, 4) && (command == u"drop-db" || command == u"import" || command == u"put-document" ||
                     command == u"get-document" || command == u"show" || command == u"search" ||
                     command == u"remove-record")) {
    if (!server()) return 1;
    std::optional<kelvra::DatabaseInfo> db = openDatabase(*store, a[1]);
    if (!db) return 1;
    if (command == u"drop-db" && a.size() == 2) {
      int32_t rc = store->dropDatabase(db->id);
      return rc ? failed(*store, "cannot drop database '" + utf8(db->name) + "'", rc) : 0;
    }
    if (command == u"import" && a.size() == 3) {
      std::string rest;
      for (const std::u16string& w : a) rest += (rest.empty() ? "" : " ") + shellWord(utf8(w));
      return importFile(*store, *db, utf8(a[2]), start, rest);
    }
    if (command == u"put-document" && a.size() == 4) {
      std::string bytes;
      if (!readBytes(utf8(a[3]), bytes)) return fail("cannot read " + utf8(a[3]));
      int32_t rc = store->putDocument(db->id, a[2], decodeText(bytes));
      if (rc == kelvra::kBadHost) return fail("cannot store the document (unusable name)");
      return rc ? failed(*store, "cannot store the document", rc) : 0;
    }
    if (command == u"get-document" && a.size() == 3) {
      std::u16string text;
      if (int32_t rc = store->document(db->id, a[2], text)) return failed(*store, "cannot read the document", rc);
      if (text.empty()) return fail("no document '" + utf8(a[2]) + "'");
      std::cout << utf8(text) << "\n";
      return 0;
    }
    int32_t number = 0;
    if ((command == u"show" || command == u"remove-record") && a.size() == 3) {
      if (!parseNumber(a[2], number)) return fail("not a record number: " + utf8(a[2]));
      int32_t rc = kelvra::kOk;
      std::u16string text;
      if (command == u"remove-record")
        rc = store->removeRecord(db->id, number);
      else
        rc = store->record(db->id, number, text);
      if (rc == kelvra::kNoSuchRecord) return fail("no record " + utf8(a[2]));
      if (rc) return failed(*store, (command == u"show" ? "cannot read record " : "cannot remove record ") + utf8(a[2]), rc);
      if (command == u"show") std::cout << utf8(text) << "\n";
      return 0;
    }
    if (command == u"search" && a.size() == 3) {
      std::optional<std::vector<kelvra::Condition>> q = kelvra::parseQuery(a[2]);
      if (!q) return fail("not a query: " + utf8(a[2]));
      std::vector<int32_t> hits;
      if (int32_t rc = store->search(db->id, *q, hits)) return failed(*store, "search failed", rc);
      for (int32_t n : hits) std::cout << n << "\n";
      return 0;
    }
  }
  return fail(kUsage);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << kUsage;
    return 2;
  }
  Args args;
  for (int i = 2; i < argc; ++i) args.push_back(platform::fromUtf8(argv[i]));
  return run(platform::fromUtf8(argv[1]), args);
}
