/* A small X11 session manager (XSMP over ICE) for tests: it takes one client
 * and speaks to it as the test tells it on standard input, one word a line:
 *
 *   save-shutdown   SaveYourself, type Both, shutdown, no interaction
 *   save            SaveYourself, type Both, no shutdown (a checkpoint)
 *   save-local      SaveYourself, type Local, no shutdown
 *   die             Die
 *   cancel          ShutdownCancelled
 *
 * and writes every message of the client to standard output, one a line:
 *
 *   listening <network ids>     first line: the value for SESSION_MANAGER
 *   registered <client id>
 *   property <name> <values>    values joined by spaces
 *   save-done <success>         SaveYourselfDone
 *   interact-request
 *   connection-closed           the client closed its connection
 *   connection-lost             the connection broke
 *
 * Any local client may connect (host-based authentication accepts every
 * connection over the local socket, none over the network): run it only for
 * a test. It ends when its input ends.
 */

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static SmsConn client_sms = NULL;
static IceConn client_ice = NULL;

static void say(const char *format, const char *value)
{
    printf(format, value);
    putchar('\n');
    fflush(stdout);
}

static Status register_client(SmsConn sms, SmPointer data, char *previous_id)
{
    (void)data;
    char *id = SmsGenerateClientID(sms);
    if (!id)
        return 0;
    say("registered %s", id);
    if (previous_id)
        free(previous_id);
    return SmsRegisterClientReply(sms, id);
}

static void interact_request(SmsConn sms, SmPointer data, int dialog_type)
{
    (void)sms;
    (void)data;
    (void)dialog_type;
    say("interact-request%s", "");
}

static void interact_done(SmsConn sms, SmPointer data, Bool cancel)
{
    (void)sms;
    (void)data;
    say("interact-done %s", cancel ? "cancel" : "go-on");
}

static void save_yourself_request(SmsConn sms, SmPointer data, int type, Bool shutdown, int style, Bool fast,
                                  Bool global)
{
    (void)sms;
    (void)data;
    (void)type;
    (void)shutdown;
    (void)style;
    (void)fast;
    (void)global;
    say("save-yourself-request%s", "");
}

static void save_yourself_phase2_request(SmsConn sms, SmPointer data)
{
    (void)data;
    say("phase2-request%s", "");
    SmsSaveYourselfPhase2(sms);
}

static void save_yourself_done(SmsConn sms, SmPointer data, Bool success)
{
    (void)sms;
    (void)data;
    say("save-done %s", success ? "1" : "0");
}

static void close_connection(SmsConn sms, SmPointer data, int count, char **reasons)
{
    (void)data;
    SmFreeReasons(count, reasons);
    say("connection-closed%s", "");
    IceConn ice = SmsGetIceConnection(sms);
    SmsCleanUp(sms);
    IceSetShutdownNegotiation(ice, False);
    IceCloseConnection(ice);
    client_sms = NULL;
    client_ice = NULL;
}

static void set_properties(SmsConn sms, SmPointer data, int count, SmProp **props)
{
    (void)sms;
    (void)data;
    for (int i = 0; i < count; ++i) {
        char line[4096];
        size_t used = (size_t)snprintf(line, sizeof line, "property %s", props[i]->name);
        for (int v = 0; v < props[i]->num_vals && used < sizeof line; ++v) {
            used += (size_t)snprintf(line + used, sizeof line - used, " %.*s", props[i]->vals[v].length,
                                     (const char *)props[i]->vals[v].value);
        }
        say("%s", line);
        SmFreeProperty(props[i]);
    }
    free(props);
}

static void delete_properties(SmsConn sms, SmPointer data, int count, char **names)
{
    (void)sms;
    (void)data;
    for (int i = 0; i < count; ++i)
        free(names[i]);
    free(names);
}

static void get_properties(SmsConn sms, SmPointer data)
{
    (void)data;
    SmsReturnProperties(sms, 0, NULL);
}

static Status new_client(SmsConn sms, SmPointer data, unsigned long *mask, SmsCallbacks *callbacks,
                         char **failure)
{
    (void)data;
    (void)failure;
    if (client_sms)
        return 0;
    client_sms = sms;
    memset(callbacks, 0, sizeof *callbacks);
    callbacks->register_client.callback = register_client;
    callbacks->interact_request.callback = interact_request;
    callbacks->interact_done.callback = interact_done;
    callbacks->save_yourself_request.callback = save_yourself_request;
    callbacks->save_yourself_phase2_request.callback = save_yourself_phase2_request;
    callbacks->save_yourself_done.callback = save_yourself_done;
    callbacks->close_connection.callback = close_connection;
    callbacks->set_properties.callback = set_properties;
    callbacks->delete_properties.callback = delete_properties;
    callbacks->get_properties.callback = get_properties;
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask
            | SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask
            | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask
            | SmsGetPropertiesProcMask;
    return 1;
}

/* Connections over the local socket only; none over the network. */
static Bool accept_local_host(char *host)
{
    /* The library frees the name. */
    return host && (strncmp(host, "local/", 6) == 0 || strncmp(host, "unix/", 5) == 0);
}

static void command(const char *word)
{
    if (!client_sms) {
        say("no-client %s", word);
        return;
    }
    if (strcmp(word, "save-shutdown") == 0)
        SmsSaveYourself(client_sms, SmSaveBoth, True, SmInteractStyleNone, False);
    else if (strcmp(word, "save") == 0)
        SmsSaveYourself(client_sms, SmSaveBoth, False, SmInteractStyleNone, False);
    else if (strcmp(word, "save-local") == 0)
        SmsSaveYourself(client_sms, SmSaveLocal, False, SmInteractStyleNone, False);
    else if (strcmp(word, "die") == 0)
        SmsDie(client_sms);
    else if (strcmp(word, "cancel") == 0)
        SmsShutdownCancelled(client_sms);
    else
        say("unknown %s", word);
    if (client_ice)
        IceFlush(client_ice);
}

int main(void)
{
    char error[256] = "";
    if (!SmsInitialize("quorbel-test", "1.0", new_client, NULL, accept_local_host, sizeof error, error)) {
        fprintf(stderr, "SmsInitialize: %s\n", error);
        return 1;
    }
    int listen_count = 0;
    IceListenObj *listeners = NULL;
    if (!IceListenForConnections(&listen_count, &listeners, sizeof error, error) || listen_count < 1) {
        fprintf(stderr, "IceListenForConnections: %s\n", error);
        return 1;
    }
    if (listen_count > 8)
        listen_count = 8;
    for (int i = 0; i < listen_count; ++i)
        IceSetHostBasedAuthProc(listeners[i], accept_local_host);
    char *ids = IceComposeNetworkIdList(listen_count, listeners);
    say("listening %s", ids);
    free(ids);

    char line[256];
    size_t filled = 0;
    for (;;) {
        struct pollfd fds[10];
        int n = 0;
        fds[n].fd = STDIN_FILENO;
        fds[n++].events = POLLIN;
        for (int i = 0; i < listen_count; ++i) {
            fds[n].fd = IceGetListenConnectionNumber(listeners[i]);
            fds[n++].events = POLLIN;
        }
        if (client_ice) {
            fds[n].fd = IceConnectionNumber(client_ice);
            fds[n++].events = POLLIN;
        }
        if (poll(fds, (nfds_t)n, -1) < 0)
            continue;
        if (fds[0].revents) {
            ssize_t got = read(STDIN_FILENO, line + filled, sizeof line - 1 - filled);
            if (got <= 0)
                break;
            filled += (size_t)got;
            line[filled] = '\0';
            char *end;
            while ((end = strchr(line, '\n'))) {
                *end = '\0';
                if (end > line)
                    command(line);
                size_t rest = filled - (size_t)(end + 1 - line);
                memmove(line, end + 1, rest);
                filled = rest;
                line[filled] = '\0';
            }
            if (filled == sizeof line - 1)
                filled = 0; /* an overlong line is dropped */
        }
        for (int i = 0; i < listen_count; ++i) {
            if (!fds[1 + i].revents)
                continue;
            IceAcceptStatus accepted;
            IceConn ice = IceAcceptConnection(listeners[i], &accepted);
            if (!ice)
                continue;
            IceConnectStatus status;
            while ((status = IceConnectionStatus(ice)) == IceConnectPending) {
                if (IceProcessMessages(ice, NULL, NULL) == IceProcessMessagesIOError)
                    break;
            }
            if (status != IceConnectAccepted || client_ice) {
                IceSetShutdownNegotiation(ice, False);
                IceCloseConnection(ice);
                continue;
            }
            client_ice = ice;
        }
        if (client_ice && n > 1 + listen_count && fds[1 + listen_count].revents) {
            if (IceProcessMessages(client_ice, NULL, NULL) == IceProcessMessagesIOError) {
                say("connection-lost%s", "");
                if (client_sms)
                    SmsCleanUp(client_sms);
                IceSetShutdownNegotiation(client_ice, False);
                IceCloseConnection(client_ice);
                client_sms = NULL;
                client_ice = NULL;
            }
        }
    }
    IceFreeListenObjs(listen_count, listeners);
    return 0;
}
