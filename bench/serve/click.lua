-- wrk: key clicks as POSTs with a JSON body.
wrk.method = "POST"
wrk.body = "{}"
wrk.headers["Content-Type"] = "application/json"
