// The page's api with a listener on its device calls: every device
// command's answer or failure is seen as it completes, before the caller
// goes on, so what the page measures can be recorded without the views
// saving anything. The caller gets the api's own promise, untouched.

const PREFIX = 'ComTcmd';

// seen({mnemonic, arg, answer, error, at}) for every device command
// (mnemonic without "ComTcmd"; GetRsLevel for the channel measurement).
export function tapApi(api, seen) {
  const note = (name, arg, promise) => {
    if (typeof name !== 'string' || !name.startsWith(PREFIX)) return promise;
    const mnemonic = name.slice(PREFIX.length);
    const tell = (outcome) => {
      try {
        seen({ mnemonic, arg, at: Date.now(), ...outcome });
      } catch (e) {
        console.error('records', e && e.message);
      }
    };
    promise.then((answer) => tell({ answer }), (error) => tell({ error }));
    return promise;
  };
  return {
    ...api,
    query: (name, arg, options) => note(name, arg, api.query(name, arg, options)),
    command: (mnemonic, arg, options) => note(PREFIX + mnemonic, arg, api.command(mnemonic, arg, options)),
    rsLevels: (comInfo, freqs, options) => note(PREFIX + 'GetRsLevel', { comInfo, freqs }, api.rsLevels(comInfo, freqs, options)),
  };
}
