// Drives the PJLink bridge with the npm package pjlink, a client that this
// project did not write. Usage: node client.js PORT_WITH_PASSWORD PORT_OPEN
const assert = require('assert');
const PJLink = require('pjlink');
const [locked, open] = process.argv.slice(2).map(Number);

// The client's callback functions as promises: [error text or null, value].
const call = (projector, method, ...args) =>
    new Promise((resolve) => projector[method](...args, (err, value) =>
        resolve([err ? err.message : null, value])));
const settle = async (projector, want) => {
    for (let i = 0; i < 100; ++i) {
        const [err, state] = await call(projector, 'getPowerState');
        if (!err && state === want) return;
        await new Promise((r) => setTimeout(r, 200));
    }
    assert.fail(`power never became ${want}`);
};

(async () => {
    const a = new PJLink('127.0.0.1', locked, 'JBMIAProjectorLink');
    assert.deepStrictEqual(await call(a, 'getPowerState'), [null, 0]);
    assert.deepStrictEqual(await call(a, 'getErrors'), [null, null]);
    assert.deepStrictEqual(await call(a, 'getLamps'), [null, [{hours: 1234, on: false}]]);
    assert.deepStrictEqual(await call(a, 'powerOn'), [null, undefined]);
    // Warming up: the state says so, and power is not switched again.
    assert.deepStrictEqual(await call(a, 'getPowerState'), [null, 3]);
    assert.deepStrictEqual(await call(a, 'powerOff'), ['Unavailable time', undefined]);
    await settle(a, 1);
    assert.deepStrictEqual(await call(a, 'getLamps'), [null, [{hours: 1234, on: true}]]);
    assert.deepStrictEqual(await call(a, 'powerOff'), [null, undefined]);
    assert.deepStrictEqual(await call(a, 'getPowerState'), [null, 2]);
    await settle(a, 0);
    a.disconnect();

    const wrong = new PJLink('127.0.0.1', locked, 'not the password');
    assert.deepStrictEqual(await call(wrong, 'getPowerState'), ['Authorization failed', undefined]);
    wrong.disconnect();

    const b = new PJLink('127.0.0.1', open);
    assert.deepStrictEqual(await call(b, 'getClass'), [null, '1']);
    assert.deepStrictEqual(await call(b, 'setInput', {source: 'network', channel: 1}),
                           [null, undefined]);
    const [err, input] = await call(b, 'getInput');
    assert.deepStrictEqual([err, input.code], [null, '51']);
    b.disconnect();
    console.log('ok: the npm client switched power, read state and was refused a wrong password');
})().catch((e) => {
    console.error('FAIL:', e.message);
    process.exit(1);
});
