// Standard output kept for one JSON document. A command prints more than the
// agent writes: executeOnDevice captures the output of the last command of
// the server's line only, and device programs inherit the agent's standard
// output. While a JsonStdout lives, whatever else is written there goes to
// standard error, so that what a program reads from standard output is the
// document alone.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <string>

namespace agent {

class JsonStdout {
public:
    JsonStdout();
    ~JsonStdout();
    JsonStdout(const JsonStdout &) = delete;
    JsonStdout &operator=(const JsonStdout &) = delete;

    // False, with the reason, when standard output could not be set aside;
    // nothing was changed then.
    bool ready(std::string *error) const;
    // Writes the document to the real standard output; false, with the
    // reason, when it could not be written whole.
    bool print(const nlohmann::ordered_json &value, std::string *error);

private:
    int saved_ = -1;
    std::string error_;
};

// Sets standard output aside in *out when JSON is asked for. -1 when done
// (or none is asked for), else the exit status, the reason printed.
int reserveStdoutForJson(bool json, std::unique_ptr<JsonStdout> *out);

}  // namespace agent
