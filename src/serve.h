// The explorer's HTTP side: where it listens, the token and the Host a request must carry, the
// limits a request is read with, and the routes to the pages and the data's answers.
#pragma once

#include <string>

#include "braking.h"
#include "plan.h"

// Whether a request may be answered: its Host names the address listened on (or localhost) with
// the port, and it carries the token, as ?token=, as the cookie a page was given, or as
// "Authorization: token <token>". `cookie` is the Cookie header, `authorization` the
// Authorization header, `query` the token parameter; "" where absent.
struct Guard {
    std::string token;
    std::string bind;  // the address listened on
    int port = 0;
    std::string CookieName() const;
    bool HostAllowed(const std::string& host) const;
    bool TokenGiven(const std::string& query, const std::string& cookie,
                    const std::string& authorization) const;
};

// A new random token of 128 bits as 32 hexadecimal digits. False with one line in err when the
// system gives no randomness.
bool NewToken(std::string* token, std::string* err);

// Serves the logs and folders the request names, with `rule` for their brakings, until SIGINT or
// SIGTERM (status 0; another ending signal gives 128 + its number). Says on standard error where
// it listens. False with one line in err when it cannot listen.
bool Serve(const ServeRequest& request, const BrakingRule& rule, int* status, std::string* err);
