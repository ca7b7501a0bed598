#!/usr/bin/env python3
"""Writes the English label texts (labels.tsv), the WMO region names (regions.tsv) and the
bulletin area texts (region_texts.tsv) of the SYNOP store. Run: python3 make_labels.py"""

L = {
    'LT01': 'Bulletin %s%s%02d from %s: %s', 'LT02': '--- end of report ---',
    'LT03': 'Weather report, bulletin %d of %02d.%02d.%04d %02d:%02d UTC',
    'LT04': '----------------------------------------',
    'LT05': 'Station %05d %s', 'LT06': '%s, %s', 'LT07': '%d hPa level:',
    'LT08': '%.1f C', 'LT09': '%d %%', 'LT10': 'from %d degrees at %d %s', 'LT11': 'Ship %s',
    'SREG': 'Region:', 'SRUF': 'at sea', 'KURX': "Ship's course and speed:",
    'PSTA': 'Station pressure', 'PSEA': 'Sea-level pressure', 'PDFO': 'geopotential',
    'LDAA': 'Pressure tendency:', 'LTMP': 'Air temperature:', 'TTMP': 'Dew point:',
    'MTMP': 'Relative humidity from the dew point:', 'RELF': 'Relative humidity:',
    'TMIN': 'Minimum temperature:', 'TMAX': 'Maximum temperature:',
    'TMIB': 'Ground minimum temperature:', 'TWAS': 'Sea-surface temperature:',
    'TWHX': 'Past weather:', 'BEDX': 'Cloud cover:', 'WOUS': 'Clouds below the station',
    'PWEL': 'Wind-wave period', 'HWEL': 'Wind-wave height', 'PWSE': 'Wave period',
    'HWSE': 'Wave height', 'PWD1': 'First swell period', 'HWD1': 'First swell height',
    'PWD2': 'Second swell period', 'HWD2': 'Second swell height',
    'DDI1': 'First swell from (degrees)', 'DDI2': 'Second swell from (degrees)',
    'WMA0': 'Wind: calm', 'WMA1': 'Wind', 'WUMS': 'm/s', 'WUKT': 'knots',
    'HSXX': 'Visibility:', 'STIE': 'Snow depth', 'NDSX': 'Precipitation',
    'EADI': 'Ice thickness', 'GGWA': 'Present weather:', 'GGWW': 'Present weather:',
}
L['KUR/'] = 'course not reported'
L['SPE/'] = 'speed not reported'
regions = ['unknown', 'Africa', 'Asia', 'South America', 'North and Central America',
           'South-West Pacific', 'Europe', 'Antarctica']
roman = ['0', 'I', 'II', 'III', 'IV', 'V', 'VI', 'Antarctic']
for i, r in enumerate(regions):
    L['SR%02d' % i] = 'WMO Region %s (%s)' % (roman[i], r)
for d, t in enumerate(['ship stationary', 'towards NE', 'towards E', 'towards SE', 'towards S',
                       'towards SW', 'towards W', 'towards NW', 'towards N', 'course unknown']):
    L['KUR%d' % d] = t
for v, t in enumerate(['0 knots', '1-5 knots', '6-10 knots', '11-15 knots', '16-20 knots',
                       '21-25 knots', '26-30 knots', '31-35 knots', '36-40 knots', 'over 40 knots']):
    L['SPE%d' % v] = t
for a, t in enumerate(['rising, then falling', 'rising, then steady', 'rising',
                       'falling or steady, then rising', 'steady', 'falling, then rising',
                       'falling, then steady', 'falling', 'steady or rising, then falling']):
    L['LDA%d' % a] = t
past = ['clear or few clouds', 'clouds variable', 'cloudy or overcast', 'sandstorm or snowstorm',
        'fog or thick haze', 'drizzle', 'rain', 'snow or rain and snow', 'showers',
        'thunderstorm', 'not reported']
for w, t in enumerate(past):
    L['TWW%s' % ('/' if w == 10 else w)] = t
cover = ['sky clear', 'one okta or less', 'two oktas', 'three oktas', 'four oktas',
         'five oktas', 'six oktas', 'seven oktas or more', 'overcast', 'sky obscured',
         'not observed']
for n, t in enumerate(cover):
    L['BED%s' % ('/' if n == 10 else n)] = t
low = ['no low clouds', 'Cumulus humilis or fractus', 'Cumulus mediocris or congestus',
       'Cumulonimbus calvus', 'Stratocumulus from Cumulus', 'Stratocumulus',
       'Stratus nebulosus or fractus', 'Stratus or Cumulus fractus of bad weather',
       'Cumulus and Stratocumulus at different levels', 'Cumulonimbus capillatus',
       'low clouds not visible']
mid = ['no middle clouds', 'Altostratus translucidus', 'Altostratus opacus or Nimbostratus',
       'Altocumulus translucidus', 'Altocumulus patches, changing', 'Altocumulus in bands, spreading',
       'Altocumulus from Cumulus', 'Altocumulus in layers or with Altostratus',
       'Altocumulus castellanus or floccus', 'Altocumulus of a chaotic sky',
       'middle clouds not visible']
high = ['no high clouds', 'Cirrus fibratus or uncinus', 'Cirrus spissatus', 'Cirrus from Cumulonimbus',
        'Cirrus spreading', 'Cirrus and Cirrostratus below 45 degrees', 'Cirrus and Cirrostratus above 45 degrees',
        'Cirrostratus covering the sky', 'Cirrostratus not covering the sky', 'Cirrocumulus',
        'high clouds not visible']
for prefix, names, what in (('WCL', low, 'Low clouds: '), ('WCM', mid, 'Middle clouds: '),
                            ('WCH', high, 'High clouds: ')):
    for i, t in enumerate(names):
        L[prefix + ('/' if i == 10 else str(i))] = what + t
genus = ['Cirrus', 'Cirrocumulus', 'Cirrostratus', 'Altocumulus', 'Altostratus',
         'Nimbostratus', 'Stratocumulus', 'Stratus', 'Cumulus', 'Cumulonimbus', 'genus unknown']
for i, t in enumerate(genus):
    L['TW%02d' % i] = t
for i in range(1, 5):
    L['WOT%d' % i] = 'Cloud layer %d:' % i
for i, t in enumerate(['tops not reported', 'tops flat', 'tops undulating', 'tops rough',
                       'tops with towers', 'tops with shafts', 'rising', 'falling', 'unchanged',
                       'changing']):
    L['WBD%d' % i] = t
for vv in range(100):
    if vv <= 50:
        t = '%.1f km' % (vv / 10.0) if vv else 'less than 0.1 km'
    elif vv <= 55:
        t = 'not used (%02d)' % vv
    elif vv <= 80:
        t = '%d km' % (vv - 50)
    elif vv <= 88:
        t = '%d km' % ((vv - 80) * 5 + 30)
    elif vv == 89:
        t = 'more than 70 km'
    else:
        t = ['less than 0.05 km', '0.05 km', '0.2 km', '0.5 km', '1 km', '2 km', '4 km',
             '10 km', '20 km', '50 km or more'][vv - 90]
    L['HS%02d' % vv] = t
ground = ['surface dry', 'surface moist', 'surface wet', 'flooded', 'frozen', 'glaze on the ground',
          'loose dry dust or sand, not covering', 'thin dust or sand, covering',
          'thick dust or sand, covering', 'extremely dry with cracks', 'not reported']
snow = ['ground mostly ice', 'compact or wet snow, less than half covered',
        'compact or wet snow, at least half covered', 'compact or wet snow, even layer',
        'compact or wet snow, uneven layer', 'loose dry snow, less than half covered',
        'loose dry snow, at least half covered', 'loose dry snow, even layer',
        'loose dry snow, uneven layer', 'snow covering the ground, deep drifts', 'not reported']
for i in range(11):
    c = '/' if i == 10 else str(i)
    L['BZO' + c] = 'State of the ground: ' + ground[i]
    L['BZM' + c] = 'State of the ground with snow: ' + snow[i]
periods = ['in the period before the report', 'in the last 6 hours', 'in the last 12 hours',
           'in the last 18 hours', 'in the last 24 hours', 'in the last hour',
           'in the last 2 hours', 'in the last 3 hours', 'in the last 9 hours',
           'in the last 15 hours', 'period not reported']
for i, t in enumerate(periods):
    L['NDS' + ('/' if i == 10 else str(i))] = t
source = ['ice source not reported', 'icing from ocean spray', 'icing from fog',
          'icing from spray and fog', 'icing from rain', 'icing from spray and rain']
for i, t in enumerate(source):
    L['EAA%d' % i] = t
L['EAA/'] = source[0]
rate = ['ice not building up', 'ice building up slowly', 'ice building up rapidly',
        'ice melting or breaking up slowly', 'ice melting or breaking up rapidly']
for i, t in enumerate(rate):
    L['EAC%d' % i] = t
L['EAC/'] = 'ice rate not reported'
ww = [
    'cloud development not observed', 'clouds dissolving', 'sky unchanged', 'clouds forming',
    'visibility reduced by smoke', 'haze', 'dust in suspension', 'dust or sand raised by wind',
    'dust or sand whirls', 'duststorm or sandstorm in sight',
    'mist', 'patches of shallow fog', 'continuous shallow fog', 'lightning, no thunder',
    'precipitation in sight, not reaching the ground', 'precipitation in sight, distant',
    'precipitation in sight, near', 'thunderstorm, no precipitation', 'squalls', 'funnel clouds',
    'drizzle or snow grains in the last hour', 'rain in the last hour', 'snow in the last hour',
    'rain and snow in the last hour', 'freezing drizzle or rain in the last hour',
    'rain showers in the last hour', 'snow showers in the last hour',
    'hail showers in the last hour', 'fog in the last hour', 'thunderstorm in the last hour',
    'slight or moderate duststorm, decreasing', 'slight or moderate duststorm, unchanged',
    'slight or moderate duststorm, increasing', 'severe duststorm, decreasing',
    'severe duststorm, unchanged', 'severe duststorm, increasing',
    'slight or moderate drifting snow, low', 'heavy drifting snow, low',
    'slight or moderate blowing snow, high', 'heavy blowing snow, high',
    'fog at a distance', 'fog in patches', 'fog, sky visible, thinning', 'fog, sky invisible, thinning',
    'fog, sky visible, unchanged', 'fog, sky invisible, unchanged', 'fog, sky visible, thickening',
    'fog, sky invisible, thickening', 'fog depositing rime, sky visible',
    'fog depositing rime, sky invisible',
    'intermittent slight drizzle', 'continuous slight drizzle', 'intermittent moderate drizzle',
    'continuous moderate drizzle', 'intermittent heavy drizzle', 'continuous heavy drizzle',
    'slight freezing drizzle', 'moderate or heavy freezing drizzle', 'slight drizzle and rain',
    'moderate or heavy drizzle and rain',
    'intermittent slight rain', 'continuous slight rain', 'intermittent moderate rain',
    'continuous moderate rain', 'intermittent heavy rain', 'continuous heavy rain',
    'slight freezing rain', 'moderate or heavy freezing rain', 'slight rain or drizzle and snow',
    'moderate or heavy rain or drizzle and snow',
    'intermittent slight snow', 'continuous slight snow', 'intermittent moderate snow',
    'continuous moderate snow', 'intermittent heavy snow', 'continuous heavy snow',
    'diamond dust', 'snow grains', 'isolated star-like snow crystals', 'ice pellets',
    'slight rain showers', 'moderate or heavy rain showers', 'violent rain showers',
    'slight showers of rain and snow', 'moderate or heavy showers of rain and snow',
    'slight snow showers', 'moderate or heavy snow showers', 'slight showers of snow pellets',
    'moderate or heavy showers of snow pellets', 'slight hail showers',
    'moderate or heavy hail showers', 'slight rain, thunderstorm in the last hour',
    'moderate or heavy rain, thunderstorm in the last hour',
    'slight snow or hail, thunderstorm in the last hour',
    'moderate or heavy snow or hail, thunderstorm in the last hour',
    'slight or moderate thunderstorm with rain or snow', 'slight or moderate thunderstorm with hail',
    'heavy thunderstorm with rain or snow', 'thunderstorm with duststorm', 'heavy thunderstorm with hail']
assert len(ww) == 100
for i, t in enumerate(ww):
    L['GA%02d' % i] = t
    L['GW%02d' % i] = t

with open('labels.tsv', 'w') as f:
    f.write('# English label texts of the SYNOP reports (KEY<TAB>TEXT), written by make_labels.py\n')
    for k in sorted(L):
        f.write('%s\t%s\n' % (k, L[k]))
with open('regions.tsv', 'w') as f:
    f.write('# WMO regions of the station list (NUMBER<TAB>NAME)\n')
    for i, r in enumerate(regions):
        f.write('%d\t%s\n' % (i, L['SR%02d' % i]))
areas = {
    'AB': 'Albania', 'AU': 'Australia', 'BX': 'Belgium and Luxembourg', 'BU': 'Bulgaria',
    'CN': 'Canada', 'CZ': 'Czech Republic', 'DL': 'Germany', 'DN': 'Denmark', 'EG': 'Egypt',
    'EI': 'Ireland', 'EN': 'Norway', 'ES': 'Estonia', 'FI': 'Finland', 'FR': 'France',
    'GR': 'Greece', 'HU': 'Hungary', 'IC': 'Iceland', 'IY': 'Italy', 'LT': 'Lithuania',
    'LV': 'Latvia', 'MX': 'Mexico', 'NL': 'Netherlands', 'OS': 'Austria', 'PL': 'Poland',
    'PO': 'Portugal', 'RA': 'Russian Federation (Asia)', 'RS': 'Russian Federation (Europe)',
    'RO': 'Romania', 'SP': 'Spain', 'SW': 'Sweden', 'SZ': 'Switzerland', 'TU': 'Turkey',
    'UK': 'United Kingdom', 'UR': 'Ukraine', 'US': 'United States', 'YG': 'Serbia',
    'AA': 'Antarctica', 'EU': 'Europe', 'NA': 'North America', 'XX': 'several areas',
    'NT': 'North Atlantic', 'VX': 'various ships', 'GL': 'Greenland', 'FA': 'Faroe Islands',
    'AZ': 'Azores', 'CA': 'Caribbean', 'BM': 'Bermuda',
}
with open('region_texts.tsv', 'w') as f:
    f.write('# Bulletin areas A1A2 of the abbreviated heading (KEY<TAB>TEXT)\n')
    for k in sorted(areas):
        f.write('%s\t%s\n' % (k, areas[k]))
